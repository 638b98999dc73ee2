// A small synchronous serial port: byte-at-a-time I/O for the power module, block reads and
// writes for the Bluetooth module. A closed port does nothing and reports failure, so a
// missing device can never be mistaken for one that answered.
#pragma once

#include <cstdint>

#include "platform/io/Serial.h"

class CSerialPort {
public:
    CSerialPort() = default;
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // "com1".."com4" through the port map, or a device path. An open port is closed first.
    bool Open(const char* name);
    bool Open(const char16_t* name);
    // 8N1, raw, no flow control, at `baud` (57600 for the power module, 19200 for Bluetooth).
    bool Configure(uint32_t baud);
    // Reads return at once with what is buffered.
    bool SetTimeouts();
    // Drops whatever is waiting in both directions.
    void Drain();
    bool WriteByte(uint8_t byte);
    // True only when a byte was read.
    bool ReadByte(uint8_t* byte);
    // Bytes moved, or -1 on a closed port or a failed device. Each sets its own timeouts
    // first: Write 100 ms; Read 100 ms in all, 300 ms between bytes.
    int Write(const void* buffer, int count);
    int Read(void* buffer, int count);
    void Close();
    bool IsOpen() const { return m_hPort.IsOpen(); }

    // Waits up to timeoutMs for one byte: the protocols' "read again after 1 ms, n times"
    // loops. False at once on a closed port or when the device went away.
    bool WaitByte(uint8_t* byte, uint32_t timeoutMs);
    // A pause on the wire's own (real) time.
    static void Pause(uint32_t ms);

    // Result of the last Configure or SetTimeouts (1 success, 0 failure).
    int LastResult() const { return m_iLastResult; }
    uint32_t BytesWritten() const { return m_dwBytesWritten; }
    const std::string& Error() const { return m_hPort.Error(); }

protected:
    plat::SerialPort m_hPort;
    uint32_t m_dwBaud = 0;
    plat::SerialTimeouts m_Timeouts;
    int m_iLastResult = 0;
    uint32_t m_dwBytesWritten = 0;
};
