// The power module on COM2: handshake, one-byte queries with typed replies and the checksummed
// frames. Every wait is bounded; a silent, garbling or vanished module leaves the stored values
// as they were and shows only through the model-received and set-acknowledged flags.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "core/kernel/SerialPort.h"

constexpr uint8_t PM_HANDSHAKE = 0xA5;
constexpr uint8_t PM_HANDSHAKE_REPLY = 0x5A;
constexpr uint8_t PM_QUERY_END = 0xA5;
constexpr uint8_t PM_SET_ACK = 0x5A;
constexpr uint8_t PM_QUERY_MODEL = 0xB0;
constexpr uint8_t PM_QUERY_TEXT_B1 = 0xB1;
constexpr uint8_t PM_QUERY_TEXT_B2 = 0xB2;
constexpr uint8_t PM_QUERY_VERSION = 0x89;
constexpr uint8_t PM_QUERY_ACC_HOLD = 0x91;
constexpr uint8_t PM_QUERY_SECOND_TIMER = 0x94;
constexpr uint8_t PM_QUERY_SET_DONE = 0x9F;
constexpr uint8_t PM_FRAME_SET_ACC_HOLD = 0x21;
constexpr uint8_t PM_FRAME_BOARD_COMMAND = 0x1B;

constexpr size_t PM_MODEL_NAME_LENGTH = 10;
constexpr int PM_MODEL_COUNT = 4;
// Index = the kernel's model number.
extern const char* const PM_MODEL_NAMES[PM_MODEL_COUNT];

// Low byte of the two's complement of the sum of the frame's length byte and data bytes.
uint8_t PowerFrameChecksum(uint8_t length, uint8_t d0, uint8_t d1, uint8_t d2);
// FF 55 21 03 00 hi lo chk
std::array<uint8_t, 8> BuildAccHoldFrame(uint16_t seconds);
// FF 55 1B 03 d0 d1 d2 chk
std::array<uint8_t, 8> BuildCommandFrame(uint8_t d0, uint8_t d1, uint8_t d2);

// The model index (0..3) of a received name, or -1. Modules pad the name to its 10 bytes with
// NULs, blanks or 0xFF, so trailing padding of any of these kinds is ignored.
int PowerModelIndex(const char* name, size_t length);

class CPowerModule : public CSerialPort {
public:
    CPowerModule();

    // A5 out, 5A back within 100 ms, one retry. False at once on a closed port.
    bool Handshake();
    // Sends `command`, reads the status byte and the command's payload, stores it, ends the
    // exchange with A5. Nothing is stored unless the whole reply arrived.
    void Query(uint8_t command);
    // Sends the set frame; m_bSetAck tells whether the module took it. Then Query(0x9F).
    void SetAccHoldTimer(uint16_t seconds);

    // 0..3 for the four known models, -1 for none received or an unknown name.
    int ModelIndex() const;
    // The received name without its padding, with anything unprintable as '?', for logs.
    std::string ModelName() const;

    // The module answers within 3 s; only tests and the fuzzer shorten the wait.
    void SetReplyWait(uint32_t ms) { m_dwReplyWaitMs = ms; }

    // Read directly by the kernel, the system settings page and the about page.
    std::string m_strVersion;      // "%02d%02d" of the 0x89 reply
    char m_szModelName[11] = {};   // 0xB0 reply as received, NUL after it
    char m_szTextB1[11] = {};      // 0xB1 reply
    char m_szTextB2[5] = {};       // 0xB2 reply
    uint8_t m_bModelReceived = 0;  // a whole 0xB0 reply was read
    uint16_t m_wAccHold = 0;       // 0x91 reply, seconds
    uint16_t m_wSecondTimer = 0;   // 0x94 reply
    uint8_t m_bSetAck = 0;         // the last set frame was acknowledged

private:
    // Reads and drops bytes 1 ms apart until none comes.
    void DropInput();

    uint32_t m_dwReplyWaitMs = 3000;
};

// One board command frame on `port` and its two-byte reply; false when the reply does not
// come within `waitMs` per byte (the protocol's 500 reads 10 ms apart) or the port is closed.
bool CommandSeqExchange(CSerialPort& port, uint8_t d0, uint8_t d1, uint8_t d2,
                        uint32_t waitMs = 5000);

// The kernel's command sequence: true at once while the gate is off; otherwise the exchange
// under `lock`, which is released on every path, time-outs included.
template <class Lock>
bool CommandSeq(CSerialPort& port, bool enabled, Lock& lock, uint8_t d0, uint8_t d1, uint8_t d2,
                uint32_t waitMs = 5000) {
    if (!enabled)
        return true;
    std::lock_guard<Lock> hold(lock);
    return CommandSeqExchange(port, d0, d1, d2, waitMs);
}
