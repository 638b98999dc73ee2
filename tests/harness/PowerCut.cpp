#include "tests/harness/PowerCut.h"

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "apps/phone/PhoneBook.h"
#include "apps/radio/RadioSettings.h"
#include "core/kernel/AppPaths.h"
#include "core/kernel/CfgData.h"
#include "core/kernel/SysSettings.h"
#include "core/shell/LockTable.h"
#include "devices/BTModuleEmulator.h"
#include "devices/PowerModuleEmulator.h"
#include "platform/io/File.h"
#include "platform/io/PortMap.h"
#include "tests/harness/HeadUnit.h"
#include "tests/harness/Program.h"
#include "tests/support/TestSupport.h"

namespace fs = std::filesystem;

namespace harness {

namespace {

// The panel keys of the TRX4100P: the second row's SEEK/UP and TRACK/DOWN step the volume; the
// first row's MENU, RADIO and MUSIC switch the front seat's page.
const char kBoardScript[] =
    "key-gap 2\n"
    "key 0x10 0x52\nkey 0x10 0x52\nkey 0x10 0x53\nkey 0x10 0x44\nkey 0x10 0x52\n"
    "key 0x10 0x53\nkey 0x10 0x53\nkey 0x10 0x45\nkey 0x10 0x52\nkey 0x10 0x02\n"
    "key 0x10 0x52\nkey 0x10 0x53\nkey 0x10 0x52\nkey 0x10 0x52\nkey 0x10 0x53\n"
    "key 0x10 0x44\nkey 0x10 0x53\nkey 0x10 0x52\nkey 0x10 0x02\nkey 0x10 0x53\n";

// Every stored file the unit keeps, with its size.
struct StoredFile {
    std::string name;
    uintmax_t size;  // 0: any size (a playlist)
};

std::vector<StoredFile> StoredFiles() {
    return {
        {SYS_SETTINGS_DB, SYS_SETTINGS_SIZE},
        {CFG_SETTINGS_DB, CFG_SETTINGS_SIZE},
        {std::string("Skin/Default/Homepage/") + HOMEPAGE_DB, HOMEPAGE_LAYOUT_SIZE},
        {LOCK_INFO_FILE, LOCK_INFO_BYTES},
        {APP_PATHS_DB, APP_PATHS_SIZE},
        {"RadioSettings.db", RADIO_SETTINGS_SIZE},
        {PHONEBOOK_FILE, PHONEBOOK_FILE_BYTES},
    };
}

bool WaitUntil(const std::function<bool()>& done, int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace

PowerCutRig::PowerCutRig(unsigned seed, int maxKillMs)
    : m_dir(std::make_unique<testsupport::TempDir>()), m_random(seed), m_maxKillMs(maxKillMs) {}

PowerCutRig::~PowerCutRig() {
    m_program.reset();
    if (m_phone)
        m_phone->Stop();
    if (m_power)
        m_power->Stop();
}

const std::string& PowerCutRig::Base() const {
    return m_dir->Path();
}

bool PowerCutRig::Prepare(std::string* why) {
    const std::string base = Base();
    MakeBaseFolder(base);

    emu::PowerModuleSettings pm;
    pm.model = "TRX4100P";
    m_power = std::make_unique<emu::PowerModuleEmulator>(pm);
    emu::BTModuleSettings bt;
    bt.paired = true;
    bt.phoneBook = {{3, "01701234567", "Anna Berger"}, {2, "08001112233", "Pannenhilfe"}};
    m_phone = std::make_unique<emu::BTModuleEmulator>(bt);
    if (!m_power->Start() || !m_phone->Start()) {
        *why = "the emulators did not start";
        return false;
    }
    const std::string portMap = base + "/" + plat::kPortMapFile;
    if (!plat::SetPortMapEntry(portMap, "com2", m_power->DevicePath()) ||
        !plat::SetPortMapEntry(portMap, "com4", m_phone->DevicePath())) {
        *why = "the port map could not be written";
        return false;
    }
    testsupport::WriteText(base + "/board.script", kBoardScript);
    m_env = BaseFolderEnvironment(base);
    m_env.push_back("VELKORA_BOARD_SCRIPT=" + base + "/board.script");
    m_env.push_back("VELKORA_BOARD_LOG=" + base + "/board.log");

    // One whole run, so that every file the unit stores is there to be cut.
    if (!StartProgram()) {
        *why = "the program did not start";
        return false;
    }
    if (!WaitUntil([&] { return LogText().find("OnCreate() Total") != std::string::npos; },
                   60000)) {
        *why = "the program did not come up: " + m_program->Stderr();
        return false;
    }
    WaitUntil([&] { return StoredVolume() >= 0; }, 10000);
    m_program->Signal(SIGTERM);
    if (!m_program->Wait(30000) || m_program->Status() != 0) {
        *why = "the first run did not end cleanly: " + m_program->Stderr();
        return false;
    }
    return true;
}

bool PowerCutRig::StartProgram() {
    // Each run's log and call log alone.
    for (const auto& entry : fs::directory_iterator(Base())) {
        const std::string name = entry.path().filename().string();
        if (name.compare(0, 7, "zz-log-") == 0 || name == "board.log")
            fs::remove(entry.path());
    }
    m_program = std::make_unique<Program>();
    return m_program->Start(VelkoraPath(), {}, Base(), m_env);
}

std::string PowerCutRig::LogText() const {
    return testsupport::ReadFilesStartingWith(Base(), "zz-log-");
}

int PowerCutRig::StoredVolume() const {
    const std::string path = Base() + "/" + SYS_SETTINGS_DB;
    SYS_SETTINGS s;
    if (!testsupport::Exists(path) || !ReadSettingsBlock(testsupport::ReadBytes(path), s))
        return -1;
    return s.iAudioLevel;
}

int PowerCutRig::FirstBoardVolume() const {
    std::ifstream in(Base() + "/board.log");
    std::string line;
    while (std::getline(in, line)) {
        size_t at = line.find(" SetVolume(");
        if (line.compare(0, 6, "audio ") == 0 && at != std::string::npos)
            return std::atoi(line.c_str() + at + 11);
    }
    return -1;
}

std::vector<std::string> PowerCutRig::TempFiles() const {
    std::vector<std::string> out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(Base(), ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (plat::IsAtomicTempName(it->path().filename().string()))
            out.push_back(it->path().string());
    }
    return out;
}

void PowerCutRig::CheckStoredFiles(const std::string& when, std::vector<std::string>& faults) {
    for (const StoredFile& f : StoredFiles()) {
        const std::string path = Base() + "/" + f.name;
        std::error_code ec;
        if (!fs::exists(path, ec))
            continue;
        const uintmax_t size = fs::file_size(path, ec);
        if (f.size && size != f.size) {
            faults.push_back(when + ": " + f.name + " is " + std::to_string(size) + " bytes, not " +
                             std::to_string(f.size));
            continue;
        }
        ++m_counts.storedFilesSeen;
    }
    const std::string settings = Base() + "/" + SYS_SETTINGS_DB;
    SYS_SETTINGS s;
    if (testsupport::Exists(settings) && !ReadSettingsBlock(testsupport::ReadBytes(settings), s))
        faults.push_back(when + ": " SYS_SETTINGS_DB " does not read");
}

void PowerCutRig::Cycle(std::vector<std::string>& faults) {
    const std::string when = "kill " + std::to_string(m_counts.kills + 1);
    const int volume = StoredVolume();
    if (!StartProgram()) {
        faults.push_back(when + ": the program did not start");
        return;
    }
    // Half of the kills come at any moment of the run; the others while the end of the
    // session saves the state, a little after SIGTERM.
    std::uniform_int_distribution<int> moment(0, m_maxKillMs);
    const bool atTheEnd = m_random() % 2 == 0;
    const int ms = moment(m_random);
    bool started = false;
    if (atTheEnd) {
        started = WaitUntil([&] { return LogText().find("OnCreate() Total") != std::string::npos; },
                            60000);
        std::this_thread::sleep_for(std::chrono::milliseconds(ms / 2));
        m_program->Signal(SIGTERM);
        std::this_thread::sleep_for(std::chrono::milliseconds(ms % 40));
        ++m_counts.killsAtTheEnd;
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        started = LogText().find("OnCreate() Total") != std::string::npos;
    }
    m_program->Signal(SIGKILL);
    m_program->Wait(30000);
    ++m_counts.kills;

    if (started) {
        // The start read what the kill before left: the volume it had stored, and the
        // temporary files of its cut saves are gone.
        ++m_counts.startsChecked;
        const int board = FirstBoardVolume();
        if (volume >= 0 && board != volume)
            faults.push_back(when + ": the start set the volume " + std::to_string(board) +
                             ", the stored one is " + std::to_string(volume));
        for (const std::string& temp : m_leftTemps) {
            if (testsupport::Exists(temp))
                faults.push_back(when + ": the start left " + temp);
            else
                ++m_counts.tempFilesRemoved;
        }
        m_leftTemps.clear();
    }
    CheckStoredFiles(when, faults);
    for (const std::string& temp : TempFiles()) {
        if (std::find(m_leftTemps.begin(), m_leftTemps.end(), temp) == m_leftTemps.end()) {
            m_leftTemps.push_back(temp);
            ++m_counts.tempFilesLeft;
        }
    }
}

void PowerCutRig::FinalStart(std::vector<std::string>& faults) {
    const int volume = StoredVolume();
    testsupport::WriteText(Base() + "/board.script", "");
    if (!StartProgram()) {
        faults.push_back("last start: the program did not start");
        return;
    }
    if (!WaitUntil([&] { return LogText().find("OnCreate() Total") != std::string::npos; },
                   60000)) {
        faults.push_back("last start: the program did not come up: " + m_program->Stderr());
        return;
    }
    // The last start reads what the last kill left, as any checked start does; on a slow
    // machine every kill before it may have come before its start was done.
    ++m_counts.startsChecked;
    if (volume >= 0 && FirstBoardVolume() != volume)
        faults.push_back("last start: the volume " + std::to_string(FirstBoardVolume()) +
                         " is not the stored " + std::to_string(volume));
    m_program->Signal(SIGTERM);
    if (!m_program->Wait(30000) || m_program->Status() != 0)
        faults.push_back("last start: no clean end: " + m_program->Stderr());
    for (const std::string& temp : m_leftTemps) {
        if (testsupport::Exists(temp))
            faults.push_back("last start: it left " + temp);
        else
            ++m_counts.tempFilesRemoved;
    }
    m_leftTemps.clear();
    CheckStoredFiles("after the last start", faults);
    testsupport::WriteText(Base() + "/board.script", kBoardScript);
}

}  // namespace harness
