// "PortMap.ini", which names the device behind each serial port, on arbitrary text.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/FuzzCheck.h"
#include "platform/io/PortMap.h"

using fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const plat::PortMap map = plat::ParsePortMap(text);
    for (const auto& [name, device] : map) {
        // Names are kept in lower case, without the blanks around them.
        for (char c : name)
            Check(!(c >= 'A' && c <= 'Z'));
        Check(!name.empty() && name.front() != ' ' && name.back() != ' ');
        Check(device.find('\n') == std::string::npos);
    }
    // What is written reads back as the same map.
    Check(plat::ParsePortMap(plat::FormatPortMap(map)) == map);
    return 0;
}
