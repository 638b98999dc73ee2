#include "devices/BTModuleEmulator.h"

#include <chrono>
#include <thread>

#include "platform/text/Text.h"

namespace emu {

namespace {

double NowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

BTModuleEmulator::BTModuleEmulator(const BTModuleSettings& settings)
    : SerialEmulator(256), m_settings(settings) {}

BTModuleEmulator::~BTModuleEmulator() {
    Stop();
}

BTModuleSettings BTModuleEmulator::Settings() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_settings;
}

void BTModuleEmulator::Update(const std::function<void(BTModuleSettings&)>& change) {
    std::lock_guard<std::mutex> hold(m_mutex);
    change(m_settings);
}

std::string BTModuleEmulator::Utf16Le(const std::string& utf8) {
    std::u16string wide = plat::Utf8ToUtf16(utf8);
    std::string out;
    for (char16_t c : wide) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

std::string BTModuleEmulator::B1Line(const BTPhoneBookEntry& entry) {
    std::string line = "B1";
    line += static_cast<char>('0' + entry.memory % 10);
    line += entry.number;
    line += "+0+";
    if (entry.memory == 2)
        line += "\xFF\xFE";  // the SIM's names come with a byte-order mark
    line += Utf16Le(entry.name);
    return line;
}

std::string BTModuleEmulator::CallerLine(const std::string& number, const std::string& name) {
    std::string line = "C+" + number;
    if (!name.empty())
        line += "+" + Utf16Le(name);
    return line;
}

void BTModuleEmulator::Ring(const std::string& number, const std::string& name) {
    std::lock_guard<std::mutex> hold(m_mutex);
    ReplyLocked(CallerLine(number, name));
}

void BTModuleEmulator::HangUp() {
    std::lock_guard<std::mutex> hold(m_mutex);
    m_inCall = false;
    ReplyLocked("H");
}

void BTModuleEmulator::SendLine(const std::string& line) {
    std::lock_guard<std::mutex> hold(m_mutex);
    ReplyLocked(line);
}

void BTModuleEmulator::SendRaw(const std::string& bytes) {
    std::lock_guard<std::mutex> hold(m_mutex);
    WriteLocked(bytes);
}

std::vector<BTCommand> BTModuleEmulator::Commands() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_commands;
}

std::vector<std::string> BTModuleEmulator::CommandTexts() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    std::vector<std::string> out;
    for (const BTCommand& c : m_commands)
        out.push_back(c.text);
    return out;
}

std::string BTModuleEmulator::Received() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_received;
}

bool BTModuleEmulator::WaitForCommands(size_t count, int timeoutMs) const {
    std::unique_lock<std::mutex> hold(m_mutex);
    return m_cv.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                         [&] { return m_commands.size() >= count; });
}

bool BTModuleEmulator::InCall() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_inCall;
}

void BTModuleEmulator::ResetLocked() {
    m_line.clear();
}

bool BTModuleEmulator::VanishDueLocked() {
    return m_vanishAtMs >= 0 && NowMs() >= m_vanishAtMs;
}

void BTModuleEmulator::ReceivedLocked(const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count && !m_vanished; ++i) {
        char c = static_cast<char>(bytes[i]);
        m_received.push_back(c);
        m_line.push_back(c);
        size_t size = m_line.size();
        if (size >= 2 && m_line[size - 2] == '\r' && m_line[size - 1] == '\n') {
            std::string command = m_line.substr(0, size - 2);
            m_line.clear();
            m_commands.push_back({command, NowMs()});
            Handle(command);
        } else if (size > 256) {
            m_line.clear();  // no command is this long
        }
    }
}

void BTModuleEmulator::Handle(const std::string& command) {
    BTModuleSettings& s = m_settings;
    auto status = [&] {
        return std::string("S0") + (s.paired ? '1' : '0') + (s.connected ? '1' : '0');
    };
    if (command == "i") {
        ReplyLocked(s.identity);
    } else if (command == "j4") {
        ReplyLocked(status());
    } else if (command == "a") {
        m_inCall = true;
        ReplyLocked("A");
    } else if (command == "h") {
        m_inCall = false;
        ReplyLocked("H");
    } else if (command.size() > 1 && command[0] == 'd') {
        m_inCall = true;
        ReplyLocked("D");
        ReplyLocked("A");
    } else if (command.size() == 2 && command[0] == 'k') {
        ReplyLocked("N");
    } else if (command == "t") {
        ReplyLocked("V");
    } else if (command == "c0") {
        // The link goes, and a call with it.
        if (m_inCall) {
            m_inCall = false;
            ReplyLocked("H");
        }
        ReplyLocked("Y");
    } else if (command == "c1") {
        ReplyLocked("Y");
    } else if (command == "x1") {
        ReplyLocked("Y");
        if (s.paired) {
            s.connected = true;
            ReplyLocked("J");
        } else {
            ReplyLocked("E not paired");
        }
    } else if (command == "x0") {
        ReplyLocked("Y");
        s.connected = false;
        m_inCall = false;
        ReplyLocked(status());
    } else if (command == "p") {
        s.paired = true;
        ReplyLocked("P1");
    } else if (command == "b03" || command == "b02") {
        m_downloadMemory = command[2] - '0';
        ReplyLocked("B0");
    } else if (command == "b30") {
        int sent = 0;
        for (const BTPhoneBookEntry& e : s.phoneBook) {
            if (e.memory != m_downloadMemory)
                continue;
            if (s.vanishAfterB1 >= 0 && sent >= s.vanishAfterB1) {
                m_vanishAtMs = NowMs() + s.vanishDelayMs;
                return;
            }
            ReplyLocked(B1Line(e));
            ++sent;
        }
        ReplyLocked("B24");
        m_downloadMemory = 0;
    } else {
        ReplyLocked("E unknown command");
    }
}

void BTModuleEmulator::ReplyLocked(const std::string& line) {
    if (m_settings.behaviour == BTBehaviour::Silent)
        return;
    std::string out = line;
    if (m_settings.behaviour == BTBehaviour::Garbage) {
        // Bytes that begin no reply the link knows, nor end a line.
        for (char& c : out) {
            do {
                m_garbageSeed = m_garbageSeed * 1103515245u + 12345u;
                c = static_cast<char>(m_garbageSeed >> 16);
            } while (c == '\r' || c == '\n' || (out.data() == &c && c >= 'A' && c <= 'Z'));
        }
    }
    out += "\r\n";
    size_t split = m_settings.splitAt;
    if (split > 0 && split < out.size()) {
        WriteLocked(out.substr(0, split));
        if (m_settings.splitPauseMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(m_settings.splitPauseMs));
        WriteLocked(out.substr(split));
    } else {
        WriteLocked(out);
    }
}

void BTModuleEmulator::WriteLocked(const std::string& bytes) {
    if (m_vanished || bytes.empty())
        return;
    m_pty.Write(bytes.data(), bytes.size());
}

}  // namespace emu
