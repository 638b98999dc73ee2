// The Skype connector: finds the messaging program at start-up, waits until it lets us attach,
// sends it the initial commands, reads its replies and tells the main dialog about calls and
// the users list. The program is reached through CSkypeLink (a local socket, see
// core/SkypeLink.h); what arrives from it comes to the main dialog's window as messages, which
// the dialog hands to OnMessage first.
//
// Everything but the link's own thread runs on the main dialog's thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/shell/SkypeLink.h"
#include "platform/ui/Ui.h"

// Messages to the main dialog, sent (blocking) with lParam 0 unless said.
constexpr uint32_t WM_SKYPE_RINGING = plat::ui::kWmUser + 110;        // 0x46E
constexpr uint32_t WM_SKYPE_PENDING = plat::ui::kWmUser + 111;        // 0x46F
constexpr uint32_t WM_SKYPE_CALL_FAILED = plat::ui::kWmUser + 112;    // 0x470
constexpr uint32_t WM_SKYPE_CALL_FINISHED = plat::ui::kWmUser + 113;  // 0x471
// wParam: const SkypeWords* (the reply's words, "USERS" first), lParam: index of the first name.
// The words live only while the message is handled.
constexpr uint32_t WM_SKYPE_USERS = 0x5F4;

using SkypeWords = std::vector<std::string>;

// A text handed over by message: wParam the sender, lParam a const COPYDATASTRUCT*. The text is
// cbData bytes at lpData; it ends at its first zero byte or after cbData bytes, whichever
// comes first.
constexpr uint32_t WM_COPYDATA = 0x004A;
struct COPYDATASTRUCT {
    uintptr_t dwData = 0;
    uint32_t cbData = 0;
    const void* lpData = nullptr;
};

// The main dialog polls with this timer until the program has attached (OnTimer).
constexpr uint32_t SKYPE_TIMER_ID = 2;
constexpr uint32_t SKYPE_TIMER_MS = 300;

// Where the messaging program listens: the environment's VELKORA_SKYPE_SOCKET when set, else
// "SkypeAPI.sock" in the working directory.
#define SKYPE_SOCKET_ENV "VELKORA_SKYPE_SOCKET"
#define SKYPE_SOCKET_FILE "SkypeAPI.sock"
std::string SkypeSocketPath();

// Commands sent once the program has attached, in this order.
extern const char16_t* const g_SkypeInitialCommands[5];

class CSkypeClient {
public:
    CSkypeClient();
    ~CSkypeClient();
    CSkypeClient(const CSkypeClient&) = delete;
    CSkypeClient& operator=(const CSkypeClient&) = delete;

    // Where to look for the program; before Discover. Default: SkypeSocketPath().
    void SetSocketPath(const std::string& path) { m_socketPath = path; }
    const std::string& SocketPath() const { return m_socketPath; }

    // Stores the owner, registers the attach and discover messages and starts looking for the
    // program, which is asked to attach as soon as it is found. False when the messages cannot
    // be registered or the socket path cannot name a local socket: no Skype in this run.
    bool Discover(plat::ui::WindowId owner);
    // Sends one command text as it stands (UTF-8, at most 1023 bytes). False for no text, when
    // not attached, or when the program does not take it (logged).
    bool SendCommand(const char16_t* text);
    // The main dialog gives it every message first; true when the message was the connector's.
    bool OnMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
    // Reads one reply and tells the owner what it means. False for an empty reply.
    bool ParseReply(const char* text);
    // The main dialog's timer SKYPE_TIMER_ID: once attached, stops the timer and sends the
    // initial commands. True when the timer was the connector's.
    bool OnTimer(uint32_t timerId);

    // Fields in the order of the original object; the main dialog reads m_bPending.
    plat::ui::WindowId m_hOwner = plat::ui::kNoWindow;
    SkypePeer m_hSkype = 0;  // the program's connection once attached
    uint32_t m_uAttachMsg = 0;
    uint32_t m_uDiscoverMsg = 0;
    char m_szCallStatus[128] = {};  // last call status word, cut to fit
    int m_iCallId = 0;              // 0 after a call ended
    uint8_t m_bPending = 0;         // 1 while the program waits for the user's consent
    SkypeLogFn m_pfnLog;            // WriteLog

private:
    void Broadcast();
    void OnCopyData(const COPYDATASTRUCT* data);
    void Notify(uint32_t message);

    uint32_t m_uReplyMsg = 0;
    std::string m_socketPath;
    CSkypeLink m_link;
};
