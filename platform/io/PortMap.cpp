#include "platform/io/PortMap.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cstdint>
#include <vector>

#include "platform/io/File.h"

namespace plat {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return out;
}

// A port map is a few lines; anything bigger is not one.
constexpr size_t kMaxPortMapBytes = 64 * 1024;

}  // namespace

PortMap ParsePortMap(std::string_view text) {
    PortMap map;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        line = Trim(line);
        if (line.empty() || line.front() == ';' || line.front() == '#')
            continue;
        size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            continue;
        std::string name = Lower(Trim(line.substr(0, eq)));
        std::string_view device = Trim(line.substr(eq + 1));
        if (name.empty())
            continue;
        if (device.empty())
            map.erase(name);
        else
            map[name] = std::string(device);
    }
    return map;
}

std::string FormatPortMap(const PortMap& map) {
    std::string out = "; serial devices behind the port names\n";
    for (const auto& [name, device] : map)
        out += name + " = " + device + "\n";
    return out;
}

PortMap LoadPortMap(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes, kMaxPortMapBytes))
        return {};
    return ParsePortMap(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::string SerialDevicePath(const std::string& name) {
    if (name.find('/') != std::string::npos)
        return name;
    PortMap map = LoadPortMap();
    auto it = map.find(Lower(Trim(name)));
    return it == map.end() ? std::string() : it->second;
}

bool SetPortMapEntry(const std::string& path, const std::string& name, const std::string& device) {
    std::string key = Lower(Trim(name));
    if (key.empty())
        return false;
    // Writers (the emulators, often started together) take turns on the file itself. A write
    // replaces the file, so a writer that waited may hold the lock of a file already replaced:
    // it then locks the one that now stands under the name.
    File held;
    for (;;) {
        if (!held.Open(path, O_RDONLY | O_CREAT))
            return false;
        int rc;
        do {
            rc = ::flock(held.Fd(), LOCK_EX);
        } while (rc != 0 && errno == EINTR);
        if (rc != 0)
            return false;
        struct stat locked, named;
        if (::fstat(held.Fd(), &locked) != 0)
            return false;
        if (::stat(path.c_str(), &named) == 0 && named.st_dev == locked.st_dev &&
            named.st_ino == locked.st_ino)
            break;
        held.Close();
    }
    PortMap map = LoadPortMap(path);
    if (device.empty())
        map.erase(key);
    else
        map[key] = device;
    std::string text = FormatPortMap(map);
    return WriteFileAtomic(path, text.data(), text.size());
}

}  // namespace plat
