// bt_module_emulator: a Bluetooth hands-free module on a pseudo-terminal for the demo run. It
// enters its device in the port map, answers until SIGINT or SIGTERM, and takes the entry out
// again. A phone book file gives what a download sends, one entry a line:
//
//     # memory;number;name      (memory 3: the phone, 2: the SIM; UTF-8 names)
//     3;01701234567;Anna Berger
//
// While it runs, the phone it stands for can be called and the call ended by its user: a line
// on its standard input ("ring", "ring NUMBER [NAME]", "hangup") or a signal (SIGUSR1 rings
// with the next caller of the phone book, SIGUSR2 hangs up).
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>

#include "devices/BTModuleEmulator.h"
#include "platform/io/PortMap.h"

namespace {

const char kUsage[] =
    "usage: bt_module_emulator [--port-map FILE] [--port NAME] [--phonebook FILE]\n"
    "         [--paired] [--connected] [--silent | --garbage]\n"
    "  Enters NAME (default com4) in FILE (default PortMap.ini) and answers as the\n"
    "  Bluetooth module until stopped (SIGINT, SIGTERM).\n"
    "\n"
    "  --phonebook FILE  what a phone-book download sends, a line an entry:\n"
    "                    memory;number;name (memory 3 the phone, 2 the SIM)\n"
    "  --paired          a phone is paired; --connected: paired and connected\n"
    "  --silent          reads everything, answers nothing; --garbage: answers noise\n"
    "\n"
    "  An incoming call while a phone is connected (the unit's phone page: Connect):\n"
    "    a line on standard input:  ring                the next caller of the phone book\n"
    "                               ring NUMBER [NAME]  that caller (\"-\": one with no number)\n"
    "                               hangup              the other side ends the call\n"
    "    or a signal:               kill -USR1 PID      rings (the next caller)\n"
    "                               kill -USR2 PID      hangs up\n";

void Usage(FILE* to) {
    std::fputs(kUsage, to);
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

// The calls its user asks for.
class Caller {
public:
    explicit Caller(emu::BTModuleEmulator& module) : m_module(module) {}

    // A ring from `number` (and `name`); an empty number: the next entry of the phone book.
    void Ring(std::string number, std::string name) {
        std::lock_guard<std::mutex> hold(m_mutex);
        const emu::BTModuleSettings s = m_module.Settings();
        if (!s.connected) {
            std::fprintf(stderr, "bt_module_emulator: no phone connected, nothing rings\n");
            return;
        }
        if (number.empty() && !s.phoneBook.empty()) {
            const emu::BTPhoneBookEntry& e = s.phoneBook[m_next++ % s.phoneBook.size()];
            number = e.number;
            name = e.name;
        } else if (number.empty()) {
            number = "01701234567";
        }
        std::fprintf(stderr, "bt_module_emulator: ringing: %s %s\n", number.c_str(), name.c_str());
        m_module.Ring(number == "-" ? "" : number, name);
    }
    void HangUp() {
        std::lock_guard<std::mutex> hold(m_mutex);
        std::fprintf(stderr, "bt_module_emulator: the other side hangs up\n");
        m_module.HangUp();
    }
    void Line(const std::string& line) {
        std::istringstream words(line);
        std::string command, number, name;
        words >> command >> number;
        std::getline(words >> std::ws, name);
        if (command == "ring")
            Ring(number, name);
        else if (command == "hangup" || command == "hang")
            HangUp();
        else if (!command.empty())
            std::fprintf(stderr, "bt_module_emulator: \"%s\"? ring [NUMBER [NAME]], hangup\n",
                         line.c_str());
    }

private:
    emu::BTModuleEmulator& m_module;
    std::mutex m_mutex;
    size_t m_next = 0;
};

}  // namespace

int main(int argc, char** argv) {
    emu::BTModuleSettings settings;
    std::string portMap = plat::kPortMapFile;
    std::string port = "com4";
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            return 0;
        }
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
            Usage(stderr);
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
            Usage(stderr);
            return 2;
        }
    }

    emu::BTModuleEmulator module(settings);
    Caller caller(module);
    emu::ServeRequests requests;
    requests.signals = {SIGUSR1, SIGUSR2};
    requests.onSignal = [&caller](int sig) {
        if (sig == SIGUSR1)
            caller.Ring("", "");
        else
            caller.HangUp();
    };
    requests.onLine = [&caller](const std::string& line) { caller.Line(line); };
    return emu::ServeUntilStopped(module, "bt_module_emulator", "Bluetooth module", portMap, port,
                                  requests);
}
