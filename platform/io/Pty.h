// Pseudo-terminals for the device emulators and the tests: the program opens the slave side
// as it would open a serial device, the emulator speaks on the master side.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace plat {

class PseudoTerminal {
public:
    PseudoTerminal() = default;
    ~PseudoTerminal() { Close(); }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // Makes a raw pair. A slave descriptor is kept open here as well, so the pair lives on
    // while the program closes and reopens its side.
    bool Open();
    bool IsOpen() const { return m_master >= 0; }
    // The device path the program opens.
    const std::string& SlavePath() const { return m_slavePath; }
    int MasterFd() const { return m_master; }

    // The device disappears: the program's side sees a hang-up.
    void Close();

    // Master side. Read waits up to timeoutMs (-1: for ever) for the first byte and returns
    // what is there: 0 on time-out, -1 when closed.
    long Read(void* buf, size_t size, int timeoutMs);
    // Gathers exactly `size` bytes, which may arrive in pieces, unless timeoutMs passes first;
    // returns how many came (-1 when closed before any).
    long ReadExactly(void* buf, size_t size, int timeoutMs);
    bool Write(const void* buf, size_t size);

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
};

}  // namespace plat
