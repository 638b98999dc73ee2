#include "core/AppFactory.h"

#include <mutex>

#include "core/KBDlg.h"

namespace {

std::mutex g_factoryMutex;
PFN_CREATE_APPLICATION g_pfnCreate[APPKIND_COUNT] = {};
std::once_flag g_builtOnce;
thread_local bool t_registeringBuilt = false;

bool ValidKind(int kind) {
    return kind >= 0 && kind < APPKIND_COUNT;
}

// Every page kind built so far. Each page adds its line here when it is built, e.g.
//   RegisterApplicationDlg(APPKIND_MUSIC, &NewApplicationDlg<CMPDefaultDlg>);
void RegisterBuiltApplications() {
    RegisterApplicationDlg(APPKIND_KB, &NewApplicationDlg<CKBDlg>);
}

void EnsureBuiltRegistered() {
    std::call_once(g_builtOnce, [] {
        t_registeringBuilt = true;
        RegisterBuiltApplications();
        t_registeringBuilt = false;
    });
}

}  // namespace

bool RegisterApplicationDlg(int kind, PFN_CREATE_APPLICATION create) {
    if (!ValidKind(kind))
        return false;
    // The built pages go in first, so that a registration made before the first page is kept.
    if (!t_registeringBuilt)
        EnsureBuiltRegistered();
    std::lock_guard<std::mutex> lock(g_factoryMutex);
    g_pfnCreate[kind] = create;
    return true;
}

bool CreateApplicationDlg(std::unique_ptr<CVelkoraAppDlg>& out, int kind) {
    out.reset();
    if (!ValidKind(kind))
        return false;
    EnsureBuiltRegistered();
    PFN_CREATE_APPLICATION create;
    {
        std::lock_guard<std::mutex> lock(g_factoryMutex);
        create = g_pfnCreate[kind];
    }
    if (!create)
        return false;
    out = create();
    return out != nullptr;
}
