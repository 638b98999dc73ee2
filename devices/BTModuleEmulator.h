// A Bluetooth hands-free module on a pseudo-terminal, for tests and the demo run. It takes the
// program's one-line commands (text and CR LF) and answers with one-line replies:
//
//   "i"            "I" line (identify)
//   "j4"           "S0pc": p and c the digits of the paired and connected state
//   "a" / "h"      "A" (call up) / "H" (call ended)
//   "d" number     "D", then "A" (the other side answers at once)
//   "k" + tone     "N"
//   "t"            "V" (the call's audio moved)
//   "c1", "x1"     "Y"; then "J" when paired (connected), else "E" line
//   "c0", "x0"     "Y" ("c0" ends a call first: "H"); then the "S" line of the new state
//                  (not connected)
//   "p"            paired; "P1"
//   "b03" / "b02"  "B0"; then "b30" sends one B1 line per entry of that memory and "B24"
//
// B1 lines: "B1", the memory digit, the number in ASCII, "+", "0", "+", then the name in
// UTF-16LE (memory 2 puts a byte-order mark before it). A ring is a "C" line: "C+", the
// number, and when there is a name "+" and the name in UTF-16LE.
//
// It can also ring and hang up on its own, send any bytes, split its lines across writes, go
// silent, answer with garbage and vanish.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "devices/SerialEmulator.h"

namespace emu {

enum class BTBehaviour {
    Normal,
    Silent,   // reads everything, answers nothing
    Garbage,  // every answer is replaced by a line of bytes that mean nothing
};

struct BTPhoneBookEntry {
    int memory = 3;      // 3 the phone's memory, 2 the SIM
    std::string number;  // ASCII digits
    std::string name;    // UTF-8; sent as UTF-16LE
};

struct BTModuleSettings {
    std::string identity = "IVELKORA-BT 1.0";
    bool paired = false;
    bool connected = false;
    BTBehaviour behaviour = BTBehaviour::Normal;
    std::vector<BTPhoneBookEntry> phoneBook;
    // Each line goes out in two writes, cut after so many bytes, with a pause between.
    size_t splitAt = 0;  // 0: whole lines
    int splitPauseMs = 0;
    // The device goes away after so many B1 lines of a download, vanishDelayMs after the last
    // of them (time for the program to read them); -1: never.
    int vanishAfterB1 = -1;
    int vanishDelayMs = 500;
};

struct BTCommand {
    std::string text;  // without CR LF
    double ms = 0;     // when its CR LF came, on the monotonic clock
};

class BTModuleEmulator : public SerialEmulator {
public:
    explicit BTModuleEmulator(const BTModuleSettings& settings = BTModuleSettings());
    ~BTModuleEmulator() override;

    BTModuleSettings Settings() const;
    void Update(const std::function<void(BTModuleSettings&)>& change);

    // An incoming call: a "C" line with the caller's number and name.
    void Ring(const std::string& number, const std::string& name = "");
    // The other side ended the call: "H".
    void HangUp();
    // A line as given, CR LF added (split as the settings say).
    void SendLine(const std::string& line);
    // Bytes as given, in one write.
    void SendRaw(const std::string& bytes);
    // Every command taken, in order.
    std::vector<BTCommand> Commands() const;
    std::vector<std::string> CommandTexts() const;
    // Every byte the program sent.
    std::string Received() const;
    // Waits until at least `count` commands have come; false on time-out.
    bool WaitForCommands(size_t count, int timeoutMs) const;
    bool InCall() const;

    // A B1 line of `entry`, without CR LF.
    static std::string B1Line(const BTPhoneBookEntry& entry);
    static std::string CallerLine(const std::string& number, const std::string& name);
    static std::string Utf16Le(const std::string& utf8);

private:
    void ResetLocked() override;
    bool VanishDueLocked() override;
    void ReceivedLocked(const uint8_t* bytes, size_t count) override;
    void Handle(const std::string& command);
    void ReplyLocked(const std::string& line);
    void WriteLocked(const std::string& bytes);

    BTModuleSettings m_settings;
    double m_vanishAtMs = -1;
    std::string m_line;  // command bytes waiting for their CR LF
    int m_downloadMemory = 0;
    bool m_inCall = false;
    uint32_t m_garbageSeed = 0x2468ACEu;
    std::vector<BTCommand> m_commands;
    std::string m_received;
};

}  // namespace emu
