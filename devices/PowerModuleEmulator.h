// A power module on a pseudo-terminal, for tests and the demo run. It answers the handshake,
// the model, version and timer queries and the set frames as the real module does, and can be
// told to misbehave: stay silent, send garbage, lose bytes, ignore handshakes, or vanish.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "devices/SerialEmulator.h"

namespace emu {

enum class PowerBehaviour {
    Normal,
    Silent,   // reads everything, answers nothing
    Garbage,  // answers with the right number of bytes, none of them right
};

struct PowerModuleSettings {
    std::string model = "TRX4100P";  // sent as 10 bytes, filled up with modelPad
    uint8_t modelPad = 0x00;
    std::string textB1 = "PM-SIM";  // 0xB1 reply, 10 bytes
    std::string textB2 = "0001";    // 0xB2 reply, 4 bytes
    uint16_t version = 1203;        // 0x89 reply: "1203"
    uint16_t accHold = 1800;        // 0x91 reply; a good set frame changes it
    uint16_t secondTimer = 30;      // 0x94 reply
    uint8_t replyStatus = 0x00;     // the status byte before every payload
    uint8_t setReply = 0x5A;        // first byte of the answer to a good set frame
    PowerBehaviour behaviour = PowerBehaviour::Normal;
    int ignoreHandshakes = 0;  // so many handshakes go unanswered first
    int dropEvery = 0;         // every n-th byte to be sent is lost; 0: none
    long vanishAfter = -1;     // the device goes away after so many bytes sent; -1: never
};

// Start() makes the pseudo-terminal and starts answering; DevicePath() is what the program
// opens (put it in the port map, or open it by path).
class PowerModuleEmulator : public SerialEmulator {
public:
    explicit PowerModuleEmulator(const PowerModuleSettings& settings = PowerModuleSettings());
    ~PowerModuleEmulator() override;

    PowerModuleSettings Settings() const;
    // Changes the settings while running.
    void Update(const std::function<void(PowerModuleSettings&)>& change);

    // Every byte the program sent, in order.
    std::vector<uint8_t> Received() const;
    // Waits until at least `count` bytes have come in; false on time-out.
    bool WaitForReceived(size_t count, int timeoutMs) const;
    int Handshakes() const;
    // Values of the set frames taken, and the data of the board command frames taken.
    std::vector<uint16_t> AccHoldFrames() const;
    std::vector<std::array<uint8_t, 3>> CommandFrames() const;
    // Frames with a bad checksum or header.
    int BadFrames() const;

private:
    void ReceivedLocked(const uint8_t* bytes, size_t count) override;
    void Handle(uint8_t byte);
    void Reply(std::vector<uint8_t> bytes);
    void HandleFrame();

    PowerModuleSettings m_settings;

    // Protocol state (emulator thread, under m_mutex).
    bool m_awaitingEnd = false;
    std::vector<uint8_t> m_frame;
    uint32_t m_garbageSeed = 0x1234567u;
    long m_toSend = 0;
    long m_sent = 0;

    std::vector<uint8_t> m_received;
    int m_handshakes = 0;
    std::vector<uint16_t> m_accHoldFrames;
    std::vector<std::array<uint8_t, 3>> m_commandFrames;
    int m_badFrames = 0;
};

}  // namespace emu
