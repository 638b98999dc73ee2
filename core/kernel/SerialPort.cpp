#include "core/kernel/SerialPort.h"

#include <string>

#include "platform/text/Text.h"

namespace {

// A module that keeps talking must not keep a drain going for ever.
constexpr int kMaxDrainBytes = 4096;

}  // namespace

bool CSerialPort::Open(const char* name) {
    Close();
    if (!name)
        return false;
    return m_hPort.Open(name);
}

bool CSerialPort::Open(const char16_t* name) {
    if (!name) {
        Close();
        return false;
    }
    return Open(plat::Utf16ToUtf8(name).c_str());
}

bool CSerialPort::Configure(uint32_t baud) {
    bool ok = m_hPort.Configure(baud);
    if (ok)
        m_dwBaud = baud;
    m_iLastResult = ok ? 1 : 0;
    return ok;
}

bool CSerialPort::SetTimeouts() {
    m_Timeouts = plat::SerialTimeouts();
    m_hPort.SetTimeouts(m_Timeouts);
    m_iLastResult = m_hPort.IsOpen() ? 1 : 0;
    return m_iLastResult != 0;
}

void CSerialPort::Drain() {
    if (!m_hPort.IsOpen())
        return;
    uint8_t b;
    for (int i = 0; i < kMaxDrainBytes && m_hPort.ReadByteWithin(b, 0); ++i) {
    }
    m_hPort.Purge();
}

bool CSerialPort::WriteByte(uint8_t byte) {
    long n = m_hPort.Write(&byte, 1);
    if (n == 1)
        ++m_dwBytesWritten;
    return n == 1;
}

bool CSerialPort::ReadByte(uint8_t* byte) {
    uint8_t b;
    if (m_hPort.Read(&b, 1) != 1)
        return false;
    if (byte)
        *byte = b;
    return true;
}

int CSerialPort::Write(const void* buffer, int count) {
    if (!m_hPort.IsOpen() || !buffer || count < 0)
        return -1;
    m_Timeouts.readIntervalMs = 100;
    m_Timeouts.readTotalMs = 100;
    m_Timeouts.writeTotalMs = 100;
    m_hPort.SetTimeouts(m_Timeouts);
    long n = m_hPort.Write(buffer, static_cast<size_t>(count));
    if (n > 0)
        m_dwBytesWritten += static_cast<uint32_t>(n);
    return static_cast<int>(n);
}

int CSerialPort::Read(void* buffer, int count) {
    if (!m_hPort.IsOpen() || !buffer || count < 0)
        return -1;
    m_Timeouts.readIntervalMs = 300;
    m_Timeouts.readTotalMs = 100;
    m_Timeouts.writeTotalMs = 100;
    m_hPort.SetTimeouts(m_Timeouts);
    return static_cast<int>(m_hPort.Read(buffer, static_cast<size_t>(count)));
}

void CSerialPort::Close() {
    m_hPort.Close();
}

bool CSerialPort::WaitByte(uint8_t* byte, uint32_t timeoutMs) {
    uint8_t b;
    if (!m_hPort.ReadByteWithin(b, timeoutMs))
        return false;
    if (byte)
        *byte = b;
    return true;
}

void CSerialPort::Pause(uint32_t ms) {
    plat::SerialPause(ms);
}
