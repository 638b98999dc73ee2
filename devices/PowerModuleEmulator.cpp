#include "devices/PowerModuleEmulator.h"

#include <chrono>

namespace emu {

namespace {

constexpr uint8_t kHandshake = 0xA5;
constexpr uint8_t kHandshakeReply = 0x5A;
constexpr uint8_t kFrameStart = 0xFF;
constexpr uint8_t kFrameSecond = 0x55;

std::vector<uint8_t> Fixed(const std::string& text, size_t size, uint8_t pad) {
    std::vector<uint8_t> out(size, pad);
    for (size_t i = 0; i < size && i < text.size(); ++i)
        out[i] = static_cast<uint8_t>(text[i]);
    return out;
}

void PutWord(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v & 0xFF));
}

}  // namespace

PowerModuleEmulator::PowerModuleEmulator(const PowerModuleSettings& settings)
    : SerialEmulator(64), m_settings(settings) {}

PowerModuleEmulator::~PowerModuleEmulator() {
    Stop();
}

PowerModuleSettings PowerModuleEmulator::Settings() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_settings;
}

void PowerModuleEmulator::Update(const std::function<void(PowerModuleSettings&)>& change) {
    std::lock_guard<std::mutex> hold(m_mutex);
    change(m_settings);
}

std::vector<uint8_t> PowerModuleEmulator::Received() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_received;
}

bool PowerModuleEmulator::WaitForReceived(size_t count, int timeoutMs) const {
    std::unique_lock<std::mutex> hold(m_mutex);
    return m_cv.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                         [&] { return m_received.size() >= count; });
}

int PowerModuleEmulator::Handshakes() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_handshakes;
}

std::vector<uint16_t> PowerModuleEmulator::AccHoldFrames() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_accHoldFrames;
}

std::vector<std::array<uint8_t, 3>> PowerModuleEmulator::CommandFrames() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_commandFrames;
}

int PowerModuleEmulator::BadFrames() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_badFrames;
}

void PowerModuleEmulator::ReceivedLocked(const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        m_received.push_back(bytes[i]);
        Handle(bytes[i]);
    }
}

void PowerModuleEmulator::Handle(uint8_t byte) {
    if (!m_frame.empty()) {
        if (m_frame.size() == 1 && byte != kFrameSecond) {
            // Not a frame after all: start over with this byte.
            m_frame.clear();
            ++m_badFrames;
        } else {
            m_frame.push_back(byte);
            if (m_frame.size() == 8)
                HandleFrame();
            return;
        }
    }
    const PowerModuleSettings& s = m_settings;
    switch (byte) {
        case kHandshake:
            if (m_awaitingEnd) {
                m_awaitingEnd = false;  // the end of a query, not a handshake
                return;
            }
            ++m_handshakes;
            if (m_settings.ignoreHandshakes > 0) {
                --m_settings.ignoreHandshakes;
                return;
            }
            Reply({kHandshakeReply});
            return;
        case kFrameStart:
            m_awaitingEnd = false;
            m_frame.assign(1, byte);
            return;
        case 0xB0: {
            std::vector<uint8_t> r{s.replyStatus};
            std::vector<uint8_t> name = Fixed(s.model, 10, s.modelPad);
            r.insert(r.end(), name.begin(), name.end());
            Reply(r);
            break;
        }
        case 0xB1: {
            std::vector<uint8_t> r{s.replyStatus};
            std::vector<uint8_t> text = Fixed(s.textB1, 10, 0);
            r.insert(r.end(), text.begin(), text.end());
            Reply(r);
            break;
        }
        case 0xB2: {
            std::vector<uint8_t> r{s.replyStatus};
            std::vector<uint8_t> text = Fixed(s.textB2, 4, 0);
            r.insert(r.end(), text.begin(), text.end());
            Reply(r);
            break;
        }
        case 0x89:
        case 0x91:
        case 0x94: {
            std::vector<uint8_t> r{s.replyStatus};
            PutWord(r, byte == 0x89 ? s.version : byte == 0x91 ? s.accHold : s.secondTimer);
            Reply(r);
            break;
        }
        case 0x9F:
            Reply({s.replyStatus});
            break;
        default:
            return;  // unknown bytes are ignored, as the module does
    }
    m_awaitingEnd = true;
}

void PowerModuleEmulator::HandleFrame() {
    std::vector<uint8_t> f;
    f.swap(m_frame);
    unsigned sum = (f[3] + f[4] + f[5] + f[6]) & 0xFFu;
    bool good = f[3] == 0x03 && ((0x100u - sum) & 0xFFu) == f[7];
    if (f[2] == 0x21) {
        if (good) {
            uint16_t value = static_cast<uint16_t>(f[5] << 8 | f[6]);
            m_settings.accHold = value;
            m_accHoldFrames.push_back(value);
            Reply({m_settings.setReply, 0x00});
        } else {
            ++m_badFrames;
            Reply({0x00, 0x00});
        }
    } else if (f[2] == 0x1B) {
        if (good)
            m_commandFrames.push_back({f[4], f[5], f[6]});
        else
            ++m_badFrames;
        Reply({0x5A, static_cast<uint8_t>(good ? 0x00 : 0x01)});
        // A non-zero second byte is answered with A5, which is no handshake.
        m_awaitingEnd = !good;
    } else {
        ++m_badFrames;
    }
}

void PowerModuleEmulator::Reply(std::vector<uint8_t> bytes) {
    const PowerModuleSettings& s = m_settings;
    if (s.behaviour == PowerBehaviour::Silent)
        return;
    if (s.behaviour == PowerBehaviour::Garbage) {
        for (uint8_t& b : bytes) {
            do {
                m_garbageSeed = m_garbageSeed * 1103515245u + 12345u;
                b = static_cast<uint8_t>(m_garbageSeed >> 16);
            } while (b == kHandshakeReply);
        }
    }
    for (uint8_t b : bytes) {
        ++m_toSend;
        if (s.dropEvery > 0 && m_toSend % s.dropEvery == 0)
            continue;
        if (!m_pty.Write(&b, 1))
            return;
        ++m_sent;
        if (s.vanishAfter >= 0 && m_sent >= s.vanishAfter) {
            VanishLocked();
            return;
        }
    }
}

}  // namespace emu
