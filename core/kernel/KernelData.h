// The kernel's persistent blocks and tables: the settings block, the application paths, the
// language table and the text-input block, with the files they live in. The kernel embeds one
// CKernelData; pages reach these members through the kernel.
#pragma once

#include <functional>
#include <mutex>
#include <string>

#include "core/kernel/AppPaths.h"
#include "core/kernel/Language.h"
#include "core/kernel/SysSettings.h"

#define KB_TEXT_CHARS 128

class CKernelData {
public:
    CKernelData();
    CKernelData(const CKernelData&) = delete;
    CKernelData& operator=(const CKernelData&) = delete;

    // The folder of every data file (the working directory when the kernel is created).
    void SetBaseDir(const std::string& dir) { m_baseDir = dir; }
    const std::string& BaseDir() const { return m_baseDir; }
    // A file of the base folder, matched without regard to case when it exists.
    std::string DataPath(const std::string& name) const;

    // "SysSettings.db"; when that exists but is not a whole block, "SysSettings.def"; when
    // there is no .db (or neither served), "SysSettings.ini", which then also writes
    // "SysSettings.db" (unless one could not be read) and "SysSettings.def". False only when no
    // source gave a complete block.
    bool LoadSettings();
    // Writes the block to "SysSettings.db" by atomic replacement, one save at a time (the UI
    // and the polling thread both save). True when the file was written.
    bool SaveSettings();
    // Reads "SysSettings.def" into the block; false (block unchanged) when it is not usable.
    bool LoadDefaults();

    // "AppPath.db" into m_AppPaths; a missing or damaged file gives empty paths (false).
    bool LoadAppPath();
    bool SaveAppPath();

    // Fills m_Language from the file of the settings' language; a missing file leaves every
    // text empty. Always true.
    bool LoadLanguage();

    // The settings' [TEST] "Log" switch, for the log writer.
    bool LogFlag() const { return m_Settings.iLog != 0; }

    // Runs after every successful save of the block, with the saved language (the kernel
    // records it for outside programs).
    void SetSaveHook(std::function<void(int language)> hook) { m_saveHook = std::move(hook); }

    SYS_SETTINGS m_Settings;
    LANGUAGE_TABLE m_Language;
    APP_PATHS m_AppPaths;      // live paths: used when a program is started
    APP_PATHS m_AppPathsEdit;  // the application paths page edits this copy
    bool m_bSettingsFromIni = false;

    // Text-input block: a page fills title and initial text, sets m_iKbResult (-1, or an index
    // of its own), switches to the keyboard page and reads the result when shown again.
    int m_iKbResult = -1;
    char16_t m_szKbTitle[KB_TEXT_CHARS];
    char16_t m_szKbInitial[KB_TEXT_CHARS];
    char16_t m_szKbResult[KB_TEXT_CHARS];

private:
    bool WriteBlock(const char* name, const std::vector<uint8_t>& bytes);

    std::string m_baseDir = ".";
    std::mutex m_saveMutex;
    std::function<void(int)> m_saveHook;
};
