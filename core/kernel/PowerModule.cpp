#include "core/kernel/PowerModule.h"

#include <cstdio>
#include <cstring>

#include "core/kernel/LogWriter.h"

const char* const PM_MODEL_NAMES[PM_MODEL_COUNT] = {"TRX4100C", "TRX4100P", "TRX4100G", "TRX4100H"};

namespace {

constexpr uint32_t kHandshakeWaitMs = 100;
constexpr int kMaxDropBytes = 4096;

size_t PayloadLength(uint8_t command) {
    switch (command) {
        case PM_QUERY_MODEL:
        case PM_QUERY_TEXT_B1:
            return 10;
        case PM_QUERY_TEXT_B2:
            return 4;
        case PM_QUERY_VERSION:
        case PM_QUERY_ACC_HOLD:
        case PM_QUERY_SECOND_TIMER:
            return 2;
        default:
            return 0;
    }
}

void AppendHex(std::string& text, const uint8_t* bytes, size_t n) {
    char buf[4];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(buf, sizeof buf, " %02X", bytes[i]);
        text += buf;
    }
}

uint64_t Remaining(uint64_t deadline) {
    uint64_t now = plat::SerialNowMs();
    return now >= deadline ? 0 : deadline - now;
}

}  // namespace

uint8_t PowerFrameChecksum(uint8_t length, uint8_t d0, uint8_t d1, uint8_t d2) {
    unsigned sum = (static_cast<unsigned>(length) + d0 + d1 + d2) & 0xFFu;
    return static_cast<uint8_t>((0x100u - sum) & 0xFFu);
}

std::array<uint8_t, 8> BuildAccHoldFrame(uint16_t seconds) {
    uint8_t hi = static_cast<uint8_t>(seconds >> 8);
    uint8_t lo = static_cast<uint8_t>(seconds & 0xFF);
    return {0xFF,
            0x55,
            PM_FRAME_SET_ACC_HOLD,
            0x03,
            0x00,
            hi,
            lo,
            PowerFrameChecksum(0x03, 0x00, hi, lo)};
}

std::array<uint8_t, 8> BuildCommandFrame(uint8_t d0, uint8_t d1, uint8_t d2) {
    return {
        0xFF, 0x55, PM_FRAME_BOARD_COMMAND, 0x03, d0, d1, d2, PowerFrameChecksum(0x03, d0, d1, d2)};
}

int PowerModelIndex(const char* name, size_t length) {
    if (!name)
        return -1;
    while (length > 0) {
        auto c = static_cast<unsigned char>(name[length - 1]);
        if (c != 0x00 && c != ' ' && c != 0xFF)
            break;
        --length;
    }
    for (int i = 0; i < PM_MODEL_COUNT; ++i) {
        if (std::strlen(PM_MODEL_NAMES[i]) == length &&
            std::memcmp(PM_MODEL_NAMES[i], name, length) == 0)
            return i;
    }
    return -1;
}

CPowerModule::CPowerModule() = default;

void CPowerModule::DropInput() {
    uint8_t b;
    for (int i = 0; i < kMaxDropBytes && WaitByte(&b, 0); ++i)
        Pause(1);
}

bool CPowerModule::Handshake() {
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!IsOpen())
            return false;
        WriteByte(PM_HANDSHAKE);
        Pause(20);
        uint64_t deadline = plat::SerialNowMs() + kHandshakeWaitMs;
        uint8_t b;
        while (WaitByte(&b, static_cast<uint32_t>(Remaining(deadline)))) {
            if (b == PM_HANDSHAKE_REPLY)
                return true;
        }
    }
    return false;
}

void CPowerModule::Query(uint8_t command) {
    if (!IsOpen())
        return;
    DropInput();
    WriteByte(command);
    uint8_t status;
    if (!WaitByte(&status, m_dwReplyWaitMs)) {
        WriteByte(PM_QUERY_END);
        WriteLog("Query(0x%02X): no reply", command);
        return;
    }
    uint8_t payload[16];
    size_t length = PayloadLength(command);
    for (size_t i = 0; i < length; ++i) {
        if (!WaitByte(&payload[i], m_dwReplyWaitMs)) {
            WriteByte(PM_QUERY_END);
            WriteLog("Query(0x%02X): reply cut after %zu bytes", command, i + 1);
            return;
        }
    }
    switch (command) {
        case PM_QUERY_MODEL:
            std::memcpy(m_szModelName, payload, 10);
            m_szModelName[10] = '\0';
            m_bModelReceived = 1;
            break;
        case PM_QUERY_TEXT_B1:
            std::memcpy(m_szTextB1, payload, 10);
            m_szTextB1[10] = '\0';
            break;
        case PM_QUERY_TEXT_B2:
            std::memcpy(m_szTextB2, payload, 4);
            m_szTextB2[4] = '\0';
            break;
        case PM_QUERY_VERSION: {
            int v = payload[0] * 256 + payload[1];
            char text[16];
            std::snprintf(text, sizeof text, "%02d%02d", v / 100, v % 100);
            m_strVersion = text;
            break;
        }
        case PM_QUERY_ACC_HOLD:
            m_wAccHold = static_cast<uint16_t>(payload[0] << 8 | payload[1]);
            break;
        case PM_QUERY_SECOND_TIMER:
            m_wSecondTimer = static_cast<uint16_t>(payload[0] << 8 | payload[1]);
            break;
        default:
            break;
    }
    WriteByte(PM_QUERY_END);
    DropInput();
    std::string text;
    AppendHex(text, &status, 1);
    AppendHex(text, payload, length);
    WriteLog("Query(0x%02X):%s", command, text.c_str());
    WriteLog("     *** Get Return: 0x%02X ***", status);
}

void CPowerModule::SetAccHoldTimer(uint16_t seconds) {
    m_bSetAck = 0;
    if (!IsOpen())
        return;
    for (uint8_t b : BuildAccHoldFrame(seconds)) {
        WriteByte(b);
        Pause(1);
    }
    m_bSetAck = 1;
    // Both reply bytes share one budget.
    uint64_t deadline = plat::SerialNowMs() + m_dwReplyWaitMs;
    uint8_t b;
    if (!WaitByte(&b, static_cast<uint32_t>(Remaining(deadline)))) {
        m_bSetAck = 0;
        return;
    }
    if (b != PM_SET_ACK)
        m_bSetAck = 0;
    if (!WaitByte(&b, static_cast<uint32_t>(Remaining(deadline)))) {
        m_bSetAck = 0;
        return;
    }
    Query(PM_QUERY_SET_DONE);
}

int CPowerModule::ModelIndex() const {
    if (!m_bModelReceived)
        return -1;
    return PowerModelIndex(m_szModelName, PM_MODEL_NAME_LENGTH);
}

std::string CPowerModule::ModelName() const {
    size_t length = PM_MODEL_NAME_LENGTH;
    while (length > 0) {
        auto c = static_cast<unsigned char>(m_szModelName[length - 1]);
        if (c != 0x00 && c != ' ' && c != 0xFF)
            break;
        --length;
    }
    std::string name;
    for (size_t i = 0; i < length; ++i) {
        auto c = static_cast<unsigned char>(m_szModelName[i]);
        name += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    }
    return name;
}

bool CommandSeqExchange(CSerialPort& port, uint8_t d0, uint8_t d1, uint8_t d2, uint32_t waitMs) {
    if (!port.IsOpen())
        return false;
    std::array<uint8_t, 8> frame = BuildCommandFrame(d0, d1, d2);
    for (size_t i = 0; i < 4; ++i)
        port.WriteByte(frame[i]);
    for (size_t i = 4; i < 7; ++i) {
        port.WriteByte(frame[i]);
        CSerialPort::Pause(1);
    }
    port.WriteByte(frame[7]);
    uint8_t first, second;
    if (!port.WaitByte(&first, waitMs) || !port.WaitByte(&second, waitMs))
        return false;
    if (second != 0)
        port.WriteByte(PM_QUERY_END);
    WriteLog("CommandSeq: 0x%x 0x%x 0x%x 0x%x 0x%x 0x%x => %d", PM_FRAME_BOARD_COMMAND, 0x03, d0,
             d1, d2, frame[7], d1 * 256 + d2);
    return true;
}
