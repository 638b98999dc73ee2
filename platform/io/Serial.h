// Serial ports on termios. A port is named "com1".."com4" as the system knows them; the port map
// file says which device stands behind each name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace plat {

// How long reads and writes wait, in the manner of the drivers the system was written for.
// A read with readIntervalMs == kNoWait and readTotalMs == 0 returns at once with what is
// buffered. Otherwise it waits up to readTotalMs in all for the bytes asked for, and gives up
// early when readIntervalMs pass between two bytes. A total of 0 is capped at kMaxWaitMs: a
// line that stays quiet for that long is quiet, and nothing here may hang.
struct SerialTimeouts {
    static constexpr uint32_t kNoWait = 0xFFFFFFFFu;
    static constexpr uint32_t kMaxWaitMs = 1000;
    uint32_t readIntervalMs = kNoWait;
    uint32_t readTotalMs = 0;
    uint32_t writeTotalMs = 0;
};

class SerialPort {
public:
    SerialPort() = default;
    ~SerialPort() { Close(); }
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // `name` is a port name looked up in the port map, or a device path containing '/'.
    // The port is held exclusively: a second open of the same device fails.
    bool Open(const std::string& name);
    bool IsOpen() const { return m_fd >= 0; }
    void Close();

    // 8 data bits, no parity, one stop bit, raw bytes, no flow control of any kind, DTR and
    // RTS held low. False for a baud rate the line cannot run at or a device that is no tty.
    bool Configure(uint32_t baud);
    void SetTimeouts(const SerialTimeouts& t) { m_timeouts = t; }
    const SerialTimeouts& Timeouts() const { return m_timeouts; }

    // Bytes moved (0 when the time ran out first); -1 when the port is closed or the device
    // failed or went away.
    long Read(void* buf, size_t size);
    long Write(const void* buf, size_t size);
    // Waits up to timeoutMs for one byte, whatever the timeouts say. False on time-out, on a
    // closed port and at once when the device is gone.
    bool ReadByteWithin(uint8_t& out, uint32_t timeoutMs);
    // Throws away what is buffered in both directions.
    void Purge();

    // The other end hung up (a pseudo-terminal's master closed, a USB adapter pulled out).
    bool HungUp() const { return m_hungUp; }
    const std::string& DevicePath() const { return m_device; }
    const std::string& Error() const { return m_error; }

private:
    // Waits until the port is readable (1), the time ran out (0) or the device is gone (-1).
    int WaitReadable(int timeoutMs);
    int WaitWritable(int timeoutMs);

    int m_fd = -1;
    bool m_hungUp = false;
    SerialTimeouts m_timeouts;
    std::string m_device;
    std::string m_error;
};

// Milliseconds on the monotonic clock. Serial waits follow real time, whatever clock the rest
// of the system is given: the device on the other end does not run on a test's clock.
uint64_t SerialNowMs();
void SerialPause(uint32_t ms);

}  // namespace plat
