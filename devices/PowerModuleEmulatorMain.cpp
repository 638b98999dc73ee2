// power_module_emulator: a power module on a pseudo-terminal for the demo run. It enters its
// device in the port map, answers until SIGINT or SIGTERM, and takes the entry out again.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "devices/PowerModuleEmulator.h"
#include "platform/io/PortMap.h"

namespace {

void Usage() {
    std::fprintf(stderr,
                 "usage: power_module_emulator [--port-map FILE] [--port NAME] [--model NAME]\n"
                 "         [--pad nul|blank|ff] [--version N] [--acc-hold SECONDS]\n"
                 "         [--timer N] [--silent | --garbage] [--drop N] [--ignore-handshakes N]\n"
                 "  Enters NAME (default com2) in FILE (default PortMap.ini) and answers as the\n"
                 "  power module until stopped.\n");
}

bool Number(const char* text, long low, long high, long& out) {
    char* end = nullptr;
    out = std::strtol(text, &end, 0);
    return end && *end == '\0' && out >= low && out <= high;
}

}  // namespace

int main(int argc, char** argv) {
    emu::PowerModuleSettings settings;
    std::string portMap = plat::kPortMapFile;
    std::string port = "com2";
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        long n = 0;
        if (arg == "--silent") {
            settings.behaviour = emu::PowerBehaviour::Silent;
            continue;
        }
        if (arg == "--garbage") {
            settings.behaviour = emu::PowerBehaviour::Garbage;
            continue;
        }
        if (!value) {
            Usage();
            return 2;
        }
        ++i;
        if (arg == "--port-map") {
            portMap = value;
        } else if (arg == "--port") {
            port = value;
        } else if (arg == "--model") {
            settings.model = value;
        } else if (arg == "--pad") {
            std::string pad = value;
            if (pad == "nul")
                settings.modelPad = 0x00;
            else if (pad == "blank")
                settings.modelPad = ' ';
            else if (pad == "ff")
                settings.modelPad = 0xFF;
            else {
                Usage();
                return 2;
            }
        } else if (arg == "--version" && Number(value, 0, 65535, n)) {
            settings.version = static_cast<uint16_t>(n);
        } else if (arg == "--acc-hold" && Number(value, 0, 65535, n)) {
            settings.accHold = static_cast<uint16_t>(n);
        } else if (arg == "--timer" && Number(value, 0, 65535, n)) {
            settings.secondTimer = static_cast<uint16_t>(n);
        } else if (arg == "--drop" && Number(value, 0, 1000000, n)) {
            settings.dropEvery = static_cast<int>(n);
        } else if (arg == "--ignore-handshakes" && Number(value, 0, 1000000, n)) {
            settings.ignoreHandshakes = static_cast<int>(n);
        } else {
            Usage();
            return 2;
        }
    }

    emu::PowerModuleEmulator module(settings);
    return emu::ServeUntilStopped(module, "power_module_emulator", "power module", portMap, port);
}
