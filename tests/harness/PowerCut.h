// Power cuts of the built program: it runs as a process of its own in a base folder, with the
// power-module and Bluetooth-module emulators on pseudo-terminals and a board script that
// presses the panel's volume keys and switches pages (each volume step saves the settings), and
// is killed with SIGKILL at a random moment, sometimes while it saves its state at the end of a
// session. After each kill every stored file must be whole (its exact size) or absent, and the
// next start must read what was stored and remove what the interrupted saves left.
#pragma once

#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace emu {
class BTModuleEmulator;
class PowerModuleEmulator;
}  // namespace emu

namespace testsupport {
class TempDir;
}

namespace harness {

class Program;

struct PowerCutCounts {
    int kills = 0;
    int killsAtTheEnd = 0;     // the kill came while the session's end saved the state
    int startsChecked = 0;     // later starts that came far enough to show what they read
    int tempFilesLeft = 0;     // temporary files of interrupted saves found after a kill
    int tempFilesRemoved = 0;  // ... of which the next start removed
    int storedFilesSeen = 0;   // stored files found whole after the kills
};

class PowerCutRig {
public:
    // `maxKillMs`: the kill comes at most that long after the start.
    PowerCutRig(unsigned seed, int maxKillMs);
    ~PowerCutRig();
    PowerCutRig(const PowerCutRig&) = delete;
    PowerCutRig& operator=(const PowerCutRig&) = delete;

    // Emulators up and one clean run (start, a volume step, the end of the session), so that
    // the stored files exist; false with the reason in `why`.
    bool Prepare(std::string* why);
    // One start and kill, then the check of the stored files; what was found wrong is added
    // to `faults`.
    void Cycle(std::vector<std::string>& faults);
    // A last start that must come up and end cleanly, reading the stored files.
    void FinalStart(std::vector<std::string>& faults);

    const PowerCutCounts& Counts() const { return m_counts; }
    const std::string& Base() const;

private:
    bool StartProgram();
    void CheckStoredFiles(const std::string& when, std::vector<std::string>& faults);
    std::vector<std::string> TempFiles() const;
    std::string LogText() const;
    int StoredVolume() const;
    int FirstBoardVolume() const;

    std::unique_ptr<testsupport::TempDir> m_dir;
    std::unique_ptr<emu::PowerModuleEmulator> m_power;
    std::unique_ptr<emu::BTModuleEmulator> m_phone;
    std::vector<std::string> m_env;
    std::mt19937 m_random;
    int m_maxKillMs;
    std::unique_ptr<Program> m_program;
    std::vector<std::string> m_leftTemps;
    PowerCutCounts m_counts;
};

}  // namespace harness
