// bt_module_emulator: a Bluetooth hands-free module on a pseudo-terminal for the demo run. It
// enters its device in the port map, answers until SIGINT or SIGTERM, and takes the entry out
// again. A phone book file gives what a download sends, one entry a line:
//
//     # memory;number;name      (memory 3: the phone, 2: the SIM; UTF-8 names)
//     3;01701234567;Anna Berger
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "devices/BTModuleEmulator.h"
#include "platform/io/PortMap.h"

namespace {

void Usage() {
    std::fprintf(stderr,
                 "usage: bt_module_emulator [--port-map FILE] [--port NAME] [--phonebook FILE]\n"
                 "         [--paired] [--connected] [--silent | --garbage]\n"
                 "  Enters NAME (default com4) in FILE (default PortMap.ini) and answers as the\n"
                 "  Bluetooth module until stopped.\n");
}

bool LoadPhoneBook(const std::string& path, std::vector<emu::BTPhoneBookEntry>& out) {
    std::ifstream in(path);
    if (!in)
        return false;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        size_t a = line.find(';');
        size_t b = a == std::string::npos ? a : line.find(';', a + 1);
        if (b == std::string::npos)
            continue;
        emu::BTPhoneBookEntry e;
        e.memory = line.compare(0, a, "2") == 0 ? 2 : 3;
        e.number = line.substr(a + 1, b - a - 1);
        e.name = line.substr(b + 1);
        out.push_back(e);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    emu::BTModuleSettings settings;
    std::string portMap = plat::kPortMapFile;
    std::string port = "com4";
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--paired") {
            settings.paired = true;
            continue;
        }
        if (arg == "--connected") {
            settings.paired = true;
            settings.connected = true;
            continue;
        }
        if (arg == "--silent") {
            settings.behaviour = emu::BTBehaviour::Silent;
            continue;
        }
        if (arg == "--garbage") {
            settings.behaviour = emu::BTBehaviour::Garbage;
            continue;
        }
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!value) {
            Usage();
            return 2;
        }
        ++i;
        if (arg == "--port-map") {
            portMap = value;
        } else if (arg == "--port") {
            port = value;
        } else if (arg == "--phonebook") {
            if (!LoadPhoneBook(value, settings.phoneBook)) {
                std::fprintf(stderr, "bt_module_emulator: cannot read %s\n", value);
                return 1;
            }
        } else {
            Usage();
            return 2;
        }
    }

    emu::BTModuleEmulator module(settings);
    return emu::ServeUntilStopped(module, "bt_module_emulator", "Bluetooth module", portMap, port);
}
