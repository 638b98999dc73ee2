// The port map: which device stands behind each serial port name. It is a text file
// "PortMap.ini" in the working directory, one port a line:
//
//     ; power module and Bluetooth module
//     com2 = /dev/ttyUSB0
//     com4 = /dev/ttyUSB1
//
// Names ignore case; blanks around both sides are dropped; lines starting with ';' or '#' and
// lines without '=' are skipped. A port that is not in the file has no device.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace plat {

inline constexpr const char* kPortMapFile = "PortMap.ini";

// Keys are lower case.
using PortMap = std::map<std::string, std::string>;

PortMap ParsePortMap(std::string_view text);
std::string FormatPortMap(const PortMap& map);

// Reads `path` (default: the port map in the working directory). A missing or unreadable file
// gives an empty map.
PortMap LoadPortMap(const std::string& path = kPortMapFile);

// The device behind `name`: a name containing '/' is a device path already; otherwise the
// port map's entry, or "" when there is none.
std::string SerialDevicePath(const std::string& name);

// Sets (or with an empty device removes) one entry and rewrites the file atomically, keeping
// the other entries. Writers take an exclusive lock on the file for the read and the write, so
// two writing at once both keep their entries. For the emulators that stand in for the real
// devices.
bool SetPortMapEntry(const std::string& path, const std::string& name, const std::string& device);

}  // namespace plat
