// The link to the car's Bluetooth hands-free module on "com4": one-line text commands out, one-line
// replies in, turned into flags, the caller's identity and the downloaded phone-book lines. One
// object serves the whole program; the front seat's phone page opens and closes it, both seats'
// phone pages poll it and send through it, all on the user-interface thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "core/kernel/SerialPort.h"

// Download states of the phone book.
#define BT_DOWNLOAD_IDLE 160
#define BT_DOWNLOAD_LINES 161  // "B0" came: B1 lines arriving
#define BT_DOWNLOAD_DONE 162   // "B24" came

#define BT_DOWNLOAD_MAX 512
#define BT_LINE_MAX 128      // bytes of one reply line, CR LF included
#define BT_B1_UNITS 60       // units of a B1 line kept in its entry
#define BT_CALLER_UNITS 127  // units of the caller id kept
#define BT_BAUD 19200
#define BT_NO_ANSWER_MS 21000
#define BT_COMMAND_PAUSE_MS 100

// One phone-book line of a download. The phone page fills name and number from the line.
struct BT_DOWNLOAD_ENTRY {
    char16_t szName[64];
    char16_t szNumber[64];
    char16_t szLine[128];  // at most 60 units and a NUL
    int32_t iSepCount;     // '+' separators found
    int32_t iSepPos[3];    // unit index just after each of the first three
};
static_assert(sizeof(BT_DOWNLOAD_ENTRY) == 528, "download entry layout");

// A B1 line (its bytes, CR LF and what follows included) into `entry`'s line, separator count
// and positions; the rest of the entry is left as it is. Reads at most `size` bytes.
void DecodeB1Line(const uint8_t* bytes, size_t size, BT_DOWNLOAD_ENTRY& entry);
// A C line into `out` (at most 127 units and a NUL): single bytes until two '+', then byte
// pairs low first, up to CR LF or the end. Returns the number of units.
size_t DecodeCallerId(const uint8_t* bytes, size_t size, char16_t out[BT_CALLER_UNITS + 1]);

// Cuts the bytes read from the module into CR LF lines. Bytes of an unfinished line wait for the
// next read; a line longer than BT_LINE_MAX is dropped up to its CR LF, so no fragment of it is
// ever taken for a reply of its own.
class CBTLineAssembler {
public:
    // Calls `handle(line, size)` for each complete line, without its CR LF.
    template <typename F>
    void Feed(const uint8_t* bytes, size_t size, F&& handle) {
        for (size_t i = 0; i < size; ++i) {
            uint8_t b = bytes[i];
            if (m_bDiscarding) {
                if (m_byLast == '\r' && b == '\n')
                    m_bDiscarding = false;
                m_byLast = b;
                continue;
            }
            m_Line[m_nLine++] = b;
            if (m_nLine >= 2 && m_Line[m_nLine - 2] == '\r' && b == '\n') {
                size_t n = m_nLine - 2;
                m_nLine = 0;
                handle(m_Line, n);
            } else if (m_nLine >= BT_LINE_MAX) {
                // Too long for a reply: everything up to the next CR LF goes.
                m_bDiscarding = true;
                m_byLast = b;
                m_nLine = 0;
                ++m_nDropped;
            }
        }
    }
    void Reset() {
        m_nLine = 0;
        m_bDiscarding = false;
        m_byLast = 0;
    }
    size_t Pending() const { return m_nLine; }
    size_t Dropped() const { return m_nDropped; }

private:
    uint8_t m_Line[BT_LINE_MAX];
    size_t m_nLine = 0;
    bool m_bDiscarding = false;
    uint8_t m_byLast = 0;
    size_t m_nDropped = 0;
};

// The module's port. Polls take what has come without waiting for more: a reply cut in two is
// put together by the line assembly, and the user-interface thread does not sit out a read
// time-out once a second.
class CBTSerialPort : public CSerialPort {
public:
    // Bytes read (0 when nothing is waiting), -1 on a closed port or a device that went away.
    int ReadWaiting(void* buffer, int count);
};

class CBTModule {
public:
    CBTModule();
    CBTModule(const CBTModule&) = delete;
    CBTModule& operator=(const CBTModule&) = delete;

    // Opens, configures and drains the port, then checks that a module answers. True when the
    // port is open and the module accepted (at once when it already is).
    bool Initialize(const char* portName);
    bool Initialize(const char16_t* portName);
    // The presence check: "i", and an "I" line back.
    void QueryBTModule();
    // One command, CR LF added, then the module's pause. Dropped while the port is closed.
    void Send(const char* command);
    // Reads what the module sent and handles every complete line: the bytes read, 0 when
    // nothing was waiting, -1 when the port is closed or the device went away.
    int Poll();
    // "c0", "x0", the port closed and the call flags cleared.
    void ClosePort();
    // The port closed without a word to the module (the pairing sequence, a lost device).
    void CloseHandle();

    // Direct port use for the pairing sequence of the phone page.
    CBTSerialPort& Port() { return m_Port; }

    bool IsComReady() const { return m_bComReady; }
    bool IsNoAnswer() const { return m_bNoAnswer; }
    bool IsConnected() const { return m_bConnected; }
    bool IsCallActive() const { return m_bCallActive; }
    bool IsRinging() const { return m_bRinging; }
    bool IsPaired() const { return m_bPaired; }
    const char16_t* CallerId() const { return m_szCallerId; }
    int QueryFailures() const { return m_iQueryFailures; }
    uint32_t LastReply() const { return m_dwLastReply; }

    // Download of the phone book; the phone page clears the started flag, zeroes the entries
    // and sets the state back to idle.
    bool m_bDownloadStarted = false;
    int32_t m_iDownloadState = BT_DOWNLOAD_IDLE;
    int32_t m_iDownloadCount = 0;
    BT_DOWNLOAD_ENTRY m_DownloadList[BT_DOWNLOAD_MAX];

private:
    bool Fail(const char* message);
    void HandleLine(const uint8_t* line, size_t size);
    void HandleB1(const uint8_t* line, size_t size);
    void ClearCall();
    // A call cannot outlive the link: no call, no ring, no caller.
    void LinkDown();
    // The port closed, and the link and any call with it.
    void DropLink();
    // The device went away under us: closed as a module that is gone.
    void LostDevice();

    CBTSerialPort m_Port;
    std::mutex m_Lock;
    CBTLineAssembler m_Lines;
    bool m_bComReady = false;
    bool m_bNoAnswer = false;
    int32_t m_iQueryFailures = 0;
    bool m_bConnected = false;
    bool m_bCallActive = false;
    bool m_bRinging = false;
    char16_t m_szCallerId[BT_CALLER_UNITS + 1];
    bool m_bPaired = false;
    uint32_t m_dwLastReply = 0;
    size_t m_nOverflow = 0;  // B1 lines beyond the table in this download
};

// The program's one link object.
CBTModule& GetBTModule();
