#include "apps/phone/BTModule.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "core/kernel/LogWriter.h"
#include "platform/sys/Clock.h"
#include "platform/text/Text.h"

namespace {

constexpr int kQueryReadBytes = 260;
constexpr int kPollReadBytes = 1024;
constexpr int kMaxQueryFailures = 3;

// A reply as a log shows it: binary bytes (the UTF-16 halves of names) as dots.
std::string Printable(const uint8_t* bytes, size_t size) {
    std::string out;
    out.reserve(size);
    for (size_t i = 0; i < size; ++i)
        out.push_back(bytes[i] >= 0x20 && bytes[i] < 0x7F ? static_cast<char>(bytes[i]) : '.');
    return out;
}

char CharAt(const uint8_t* bytes, size_t size, size_t i) {
    if (i >= size)
        return ' ';
    return bytes[i] >= 0x20 && bytes[i] < 0x7F ? static_cast<char>(bytes[i]) : '.';
}

// Units of the module's lines: one byte each until two '+' have been seen, then byte pairs, low
// byte first. The separator test runs after each unit.
class UnitReader {
public:
    UnitReader(const uint8_t* bytes, size_t size) : m_p(bytes), m_size(size) {}
    // False at the end of the bytes. `first` is the unit's first byte.
    bool Next(char16_t& unit, uint8_t& first, bool& separator) {
        if (m_plus < 2) {
            if (m_pos >= m_size)
                return false;
            first = Take();
            unit = first;
            separator = first == '+';
            if (separator)
                ++m_plus;
            return true;
        }
        if (m_pos + 2 > m_size)
            return false;
        uint8_t b0 = Take();
        uint8_t b1 = Take();
        first = b0;
        unit = static_cast<char16_t>(b1 << 8 | b0);
        separator = b1 == '+';
        return true;
    }
    // Three zero bytes in a row so far, wherever the units' borders fall.
    bool ThreeZeros() const { return m_threeZeros; }

private:
    uint8_t Take() {
        uint8_t b = m_p[m_pos++];
        m_zeros = b == 0 ? m_zeros + 1 : 0;
        if (m_zeros >= 3)
            m_threeZeros = true;
        return b;
    }

    const uint8_t* m_p;
    size_t m_size;
    size_t m_pos = 0;
    int m_plus = 0;
    int m_zeros = 0;
    bool m_threeZeros = false;
};

}  // namespace

void DecodeB1Line(const uint8_t* bytes, size_t size, BT_DOWNLOAD_ENTRY& entry) {
    std::memset(entry.szLine, 0, sizeof entry.szLine);
    entry.iSepCount = 0;
    std::memset(entry.iSepPos, 0, sizeof entry.iSepPos);
    if (!bytes)
        return;
    UnitReader reader(bytes, size);
    int units = 0;
    char16_t unit;
    uint8_t first;
    bool separator;
    while (units < BT_B1_UNITS && reader.Next(unit, first, separator)) {
        if (first == '\r' || first == '\n' || reader.ThreeZeros())
            break;
        entry.szLine[units++] = unit;
        if (separator) {
            if (entry.iSepCount < 3)
                entry.iSepPos[entry.iSepCount] = units;
            ++entry.iSepCount;
        }
    }
    entry.szLine[units] = 0;
}

size_t DecodeCallerId(const uint8_t* bytes, size_t size, char16_t out[BT_CALLER_UNITS + 1]) {
    size_t units = 0;
    if (bytes) {
        UnitReader reader(bytes, size);
        char16_t unit;
        uint8_t first;
        bool separator;
        while (units < BT_CALLER_UNITS && reader.Next(unit, first, separator)) {
            if (first == '\r' || first == '\n')
                break;
            out[units++] = unit;
        }
    }
    out[units] = 0;
    return units;
}

int CBTSerialPort::ReadWaiting(void* buffer, int count) {
    if (!m_hPort.IsOpen() || !buffer || count < 0)
        return -1;
    m_Timeouts = plat::SerialTimeouts();
    m_hPort.SetTimeouts(m_Timeouts);
    return static_cast<int>(m_hPort.Read(buffer, static_cast<size_t>(count)));
}

CBTModule::CBTModule() {
    std::memset(m_DownloadList, 0, sizeof m_DownloadList);
    std::memset(m_szCallerId, 0, sizeof m_szCallerId);
}

bool CBTModule::Fail(const char* message) {
    WriteLog("%s", message);
    m_Port.Close();
    return false;
}

bool CBTModule::Initialize(const char16_t* portName) {
    if (!portName)
        return false;
    return Initialize(plat::Utf16ToUtf8(portName).c_str());
}

bool CBTModule::Initialize(const char* portName) {
    if (m_bComReady)
        return true;
    if (!m_Port.Open(portName))
        return Fail("Cannot open Communication Port for BT module");
    if (!m_Port.Configure(BT_BAUD))
        return Fail("Cannot open ConfigurePort for BT module");
    if (!m_Port.SetTimeouts())
        return Fail("Cannot SetCommunicationTimeouts() for BT module");
    m_Port.Drain();
    {
        std::lock_guard<std::mutex> hold(m_Lock);
        m_Lines.Reset();
        m_bComReady = true;
        // The silence rule counts from the opening, not from a reply of an earlier session.
        m_dwLastReply = plat::GetTickCount();
    }
    QueryBTModule();
    return m_bComReady;
}

void CBTModule::QueryBTModule() {
    if (!m_bComReady)
        return;
    std::string reply;
    bool identified = false;
    bool lost = false;
    {
        std::lock_guard<std::mutex> hold(m_Lock);
        m_Port.Drain();
        m_Lines.Reset();
        m_Port.Write("i\r\n", 3);
        CSerialPort::Pause(BT_COMMAND_PAUSE_MS);
        uint8_t buf[kQueryReadBytes];
        int n = m_Port.Read(buf, sizeof buf);
        if (n > 0) {
            reply = Printable(buf, static_cast<size_t>(n));
            // Every complete line counts; a ring or a status that crossed the "i" is kept.
            m_Lines.Feed(buf, static_cast<size_t>(n), [&](const uint8_t* line, size_t size) {
                if (size >= 1 && line[0] == 'I') {
                    identified = true;
                    m_dwLastReply = plat::GetTickCount();
                    m_bNoAnswer = false;
                } else {
                    HandleLine(line, size);
                }
            });
        }
        lost = n < 0;
    }
    if (identified) {
        m_iQueryFailures = 0;
        m_bNoAnswer = false;
        WriteLog("CBTModule::IsBTModuleReady() => true [%s]", reply.c_str());
    } else {
        ++m_iQueryFailures;
        if (m_iQueryFailures > kMaxQueryFailures || lost) {
            m_bPaired = false;
            m_bNoAnswer = true;
            // Closed as well, so that the page's reopen really opens the port again.
            DropLink();
        }
        WriteLog("CBTModule::QueryBTModule() - Not verified yet");
    }
    WriteLog("QueryBTModule(): [%s]", reply.c_str());
}

void CBTModule::Send(const char* command) {
    if (!m_bComReady || !command)
        return;
    bool lost = false;
    {
        std::lock_guard<std::mutex> hold(m_Lock);
        char buf[BT_LINE_MAX];
        int n = std::snprintf(buf, sizeof buf, "%s%c%c", command, 13, 10);
        if (n < 0 || n >= static_cast<int>(sizeof buf)) {
            // Cut short it would lose its CR LF and run into the next command.
            WriteLog("CBTModule::Send() - command too long, not sent");
            return;
        }
        // -1 only when the device failed or went away.
        lost = m_Port.Write(buf, n) < 0;
        CSerialPort::Pause(BT_COMMAND_PAUSE_MS);
        bool hang = std::strcmp(command, "h") == 0;
        bool answer = std::strcmp(command, "a") == 0;
        if (hang || answer) {
            m_bCallActive = answer;
            ClearCall();
        }
    }
    if (lost)
        LostDevice();
}

int CBTModule::Poll() {
    if (!m_bComReady)
        return -1;
    bool lost = false;
    int n = 0;
    {
        std::lock_guard<std::mutex> hold(m_Lock);
        uint8_t buf[kPollReadBytes];
        n = m_Port.ReadWaiting(buf, sizeof buf);
        if (n > 0) {
            m_Lines.Feed(buf, static_cast<size_t>(n),
                         [this](const uint8_t* line, size_t size) { HandleLine(line, size); });
        }
        lost = n < 0;
    }
    if (lost) {
        LostDevice();
        return -1;
    }
    if (plat::GetTickCount() - m_dwLastReply > BT_NO_ANSWER_MS) {
        m_bNoAnswer = true;
        // A module that says nothing carries no call either.
        LinkDown();
    }
    return n;
}

void CBTModule::ClearCall() {
    m_bRinging = false;
    std::memset(m_szCallerId, 0, sizeof m_szCallerId);
}

void CBTModule::LinkDown() {
    if (m_bCallActive || m_bRinging)
        WriteLog("CBTModule: the link is down, the call with it");
    m_bCallActive = false;
    ClearCall();
}

void CBTModule::HandleLine(const uint8_t* line, size_t size) {
    if (size == 0)
        return;  // a bare CR LF
    m_dwLastReply = plat::GetTickCount();
    // Whatever the module says, it is there.
    m_bNoAnswer = false;
    std::string text = Printable(line, size);
    switch (line[0]) {
        case 'A':
            m_bCallActive = true;
            m_bRinging = false;
            WriteLog("Phone-Accept");
            return;
        case 'B':
            if (size >= 3 && line[1] == '2' && line[2] == '4') {
                m_iDownloadState = BT_DOWNLOAD_DONE;
                if (m_nOverflow > 0)
                    WriteLog("CBTModule: %zu phone-book lines beyond %d ignored", m_nOverflow,
                             BT_DOWNLOAD_MAX);
                return;
            }
            if (size >= 2 && line[1] == '0') {
                m_bDownloadStarted = true;
                m_iDownloadState = BT_DOWNLOAD_LINES;
                m_iDownloadCount = 0;
                m_nOverflow = 0;
                return;
            }
            if (size >= 2 && line[1] == '1') {
                HandleB1(line, size);
                return;
            }
            break;
        case 'C': {
            m_bRinging = true;
            char16_t id[BT_CALLER_UNITS + 1];
            if (m_bComReady && DecodeCallerId(line, size, id) > 0 && id[0] == u'C')
                std::memcpy(m_szCallerId, id, sizeof id);
            WriteLog("Phone-Incoming: %s", text.c_str());
            return;
        }
        case 'D':
            WriteLog("Phone-Dialing");
            return;
        case 'E':
            WriteLog("Phone-Error: %s", text.c_str());
            return;
        case 'H':
            m_bCallActive = false;
            ClearCall();
            return;
        case 'J':
            m_bConnected = true;
            return;
        case 'P':
            WriteLog("P(air) cmd: Read [%c][%c]", CharAt(line, size, 0), CharAt(line, size, 1));
            return;
        case 'R':
            WriteLog("Phone-R");
            return;
        case 'S':
            // A status too short to hold both digits says nothing.
            if (size >= 4) {
                m_bPaired = line[2] != '0';
                m_bConnected = line[3] != '0';
                if (!m_bConnected)
                    LinkDown();
            }
            return;
        case 'N':
        case 'U':
        case 'V':
        case 'X':
        case 'Y':
            return;
        default:
            break;
    }
    WriteLog("Polling :: None of useful cmd. Read [%c] [%c], %s", CharAt(line, size, 0),
             CharAt(line, size, 1), text.c_str());
}

void CBTModule::HandleB1(const uint8_t* line, size_t size) {
    if (m_iDownloadCount < 0 || m_iDownloadCount >= BT_DOWNLOAD_MAX) {
        // The table is full: the first lines are kept, the download still ends on "B24".
        ++m_nOverflow;
        WriteLog("CBTModule: phone-book line %zu beyond the table, ignored",
                 static_cast<size_t>(BT_DOWNLOAD_MAX) + m_nOverflow);
        return;
    }
    // The line as the decoder has always seen it: CR LF kept, a NUL after.
    uint8_t buf[BT_LINE_MAX + 1];
    std::memcpy(buf, line, size);
    buf[size] = '\r';
    buf[size + 1] = '\n';
    buf[size + 2] = 0;
    DecodeB1Line(buf, size + 3, m_DownloadList[m_iDownloadCount]);
    ++m_iDownloadCount;
}

void CBTModule::CloseHandle() {
    std::lock_guard<std::mutex> hold(m_Lock);
    m_Port.Close();
    m_Lines.Reset();
    m_bComReady = false;
    LinkDown();
}

void CBTModule::DropLink() {
    {
        std::lock_guard<std::mutex> hold(m_Lock);
        m_Port.Close();
        m_Lines.Reset();
    }
    m_bComReady = false;
    m_bConnected = false;
    LinkDown();
}

void CBTModule::LostDevice() {
    WriteLog("CBTModule: the module is gone, port closed");
    DropLink();
    // Nothing more will come of a download that was under way; what came is kept.
    if (m_iDownloadState == BT_DOWNLOAD_LINES)
        m_iDownloadState = BT_DOWNLOAD_IDLE;
}

void CBTModule::ClosePort() {
    Send("c0");
    Send("x0");
    DropLink();
    WriteLog("void CBTModule::ClosePort()");
}

CBTModule& GetBTModule() {
    static CBTModule module;
    return module;
}
