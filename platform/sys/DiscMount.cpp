#include "platform/sys/DiscMount.h"

#include <gio/gio.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/io/File.h"
#include "platform/io/Path.h"
#include "platform/text/Text.h"

namespace plat {

namespace {

// udisks2 may have to start first and then spin the disc up.
constexpr int kUdisksTimeoutMs = 30000;

struct ErrorFree {
    void operator()(GError* e) const { g_error_free(e); }
};
struct ObjectUnref {
    void operator()(gpointer p) const { g_object_unref(p); }
};
struct VariantUnref {
    void operator()(GVariant* v) const { g_variant_unref(v); }
};

// The udisks2 calls in flight, so that the end of the session can call them back.
std::mutex g_inFlightMutex;
std::vector<GCancellable*> g_inFlight;

class InFlight {
public:
    InFlight() : m_cancel(g_cancellable_new()) {
        std::lock_guard<std::mutex> lock(g_inFlightMutex);
        g_inFlight.push_back(m_cancel);
    }
    ~InFlight() {
        {
            std::lock_guard<std::mutex> lock(g_inFlightMutex);
            g_inFlight.erase(std::remove(g_inFlight.begin(), g_inFlight.end(), m_cancel),
                             g_inFlight.end());
        }
        g_object_unref(m_cancel);
    }
    InFlight(const InFlight&) = delete;
    InFlight& operator=(const InFlight&) = delete;
    GCancellable* Get() const { return m_cancel; }
    bool Cancelled() const { return g_cancellable_is_cancelled(m_cancel); }

private:
    GCancellable* m_cancel;
};

// udisks2's object path of a block device: its kernel name with everything but letters,
// digits and '_' written as "_xx" hex, as udisks does.
std::string UdisksBlockPath(const std::string& device) {
    std::string name = BaseName(device);
    std::string path = "/org/freedesktop/UDisks2/block_devices/";
    for (unsigned char c : name) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
            path += static_cast<char>(c);
        else
            path += FormatNarrow("_%02x", c);
    }
    return path;
}

bool MountByUdisks(const std::string& device, const InFlight& call, std::string& mountPoint,
                   std::string& why) {
    GError* raw = nullptr;
    std::unique_ptr<GDBusConnection, ObjectUnref> bus(
        g_bus_get_sync(G_BUS_TYPE_SYSTEM, call.Get(), &raw));
    std::unique_ptr<GError, ErrorFree> error(raw);
    if (!bus) {
        why = std::string("udisks2: no system bus (") + (error ? error->message : "") + ")";
        return false;
    }
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&options, "{sv}", "options", g_variant_new_string("ro"));
    raw = nullptr;
    std::unique_ptr<GVariant, VariantUnref> reply(g_dbus_connection_call_sync(
        bus.get(), "org.freedesktop.UDisks2", UdisksBlockPath(device).c_str(),
        "org.freedesktop.UDisks2.Filesystem", "Mount", g_variant_new("(a{sv})", &options),
        G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE, kUdisksTimeoutMs, call.Get(), &raw));
    error.reset(raw);
    if (!reply) {
        why = std::string("udisks2: ") + (error ? error->message : "no answer");
        return false;
    }
    const gchar* path = nullptr;
    g_variant_get(reply.get(), "(&s)", &path);
    mountPoint = path ? path : "";
    return !mountPoint.empty();
}

bool MountOwn(const std::string& device, const std::string& folder, std::string& why) {
    if (::geteuid() != 0) {
        why = "mount: the unit does not run as root";
        return false;
    }
    if (folder.empty() || !MakeDirectory(folder)) {
        why = "mount: no folder to mount on";
        return false;
    }
    const unsigned long flags = MS_RDONLY | MS_NOSUID | MS_NODEV | MS_NOEXEC;
    int err = 0;
    // A DVD-Video's bridge holds both; the UDF side has the long names.
    for (const char* type : {"udf", "iso9660"}) {
        if (::mount(device.c_str(), folder.c_str(), type, flags, nullptr) == 0)
            return true;
        err = errno;
    }
    why = std::string("mount: ") + std::strerror(err);
    ::rmdir(folder.c_str());
    return false;
}

}  // namespace

bool MountDisc(const std::string& device, const std::string& ownFolder, std::string& mountPoint,
               std::string& why) {
    std::string udisks, own;
    InFlight call;
    if (MountByUdisks(device, call, mountPoint, udisks))
        return true;
    if (call.Cancelled()) {
        why = udisks;  // the session ends: no other way is tried
        return false;
    }
    if (MountOwn(device, ownFolder, own)) {
        mountPoint = ownFolder;
        return true;
    }
    why = udisks + "; " + own;
    return false;
}

void CancelDiscMounts() {
    std::lock_guard<std::mutex> lock(g_inFlightMutex);
    for (GCancellable* c : g_inFlight)
        g_cancellable_cancel(c);
}

bool UnmountOwnFolder(const std::string& folder) {
    if (::umount2(folder.c_str(), MNT_DETACH) != 0)
        return false;
    ::rmdir(folder.c_str());
    return true;
}

}  // namespace plat
