#include "core/ui/AppFactory.h"

#include <mutex>

#include "core/ui/AppType.h"

namespace {

// One slot for each factory kind, then one for each type the main dialog makes itself.
constexpr int kSlots = APPKIND_COUNT + APPTYPE_COUNT;

std::mutex g_factoryMutex;
PFN_CREATE_APPLICATION g_pfnCreate[kSlots] = {};
std::once_flag g_builtOnce;

int KindSlot(int kind) {
    return kind >= 0 && kind < APPKIND_COUNT ? kind : -1;
}

int OwnSlot(int appType) {
    return appType >= 0 && appType < APPTYPE_COUNT ? APPKIND_COUNT + appType : -1;
}

// The built pages go in before any other registration, so that one made before the first page
// is kept.
void EnsureBuiltRegistered() {
    std::call_once(g_builtOnce, [] {
        std::lock_guard<std::mutex> lock(g_factoryMutex);
        for (size_t i = 0; i < g_nBuiltPages; ++i) {
            const PAGE_MAKER& m = g_BuiltPages[i];
            int slot = m.kind == APPKIND_OWN ? OwnSlot(m.appType) : KindSlot(m.kind);
            if (slot >= 0)
                g_pfnCreate[slot] = m.create;
        }
    });
}

bool Register(int slot, PFN_CREATE_APPLICATION create) {
    if (slot < 0)
        return false;
    EnsureBuiltRegistered();
    std::lock_guard<std::mutex> lock(g_factoryMutex);
    g_pfnCreate[slot] = create;
    return true;
}

PFN_CREATE_APPLICATION Maker(int slot) {
    if (slot < 0)
        return nullptr;
    EnsureBuiltRegistered();
    std::lock_guard<std::mutex> lock(g_factoryMutex);
    return g_pfnCreate[slot];
}

bool Create(std::unique_ptr<CVelkoraAppDlg>& out, int slot) {
    out.reset();
    PFN_CREATE_APPLICATION create = Maker(slot);
    if (!create)
        return false;
    out = create();
    return out != nullptr;
}

}  // namespace

bool RegisterApplicationDlg(int kind, PFN_CREATE_APPLICATION create) {
    return Register(KindSlot(kind), create);
}

bool CreateApplicationDlg(std::unique_ptr<CVelkoraAppDlg>& out, int kind) {
    return Create(out, KindSlot(kind));
}

PFN_CREATE_APPLICATION ApplicationDlgMaker(int kind) {
    return Maker(KindSlot(kind));
}

bool RegisterOwnPageDlg(int appType, PFN_CREATE_APPLICATION create) {
    return Register(OwnSlot(appType), create);
}

bool CreateOwnPageDlg(std::unique_ptr<CVelkoraAppDlg>& out, int appType) {
    return Create(out, OwnSlot(appType));
}

PFN_CREATE_APPLICATION OwnPageDlgMaker(int appType) {
    return Maker(OwnSlot(appType));
}
