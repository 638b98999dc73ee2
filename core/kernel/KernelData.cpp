#include "core/kernel/KernelData.h"

#include <cstring>
#include <vector>

#include "core/kernel/Utf16File.h"
#include "platform/io/File.h"
#include "platform/io/Path.h"

namespace {

enum class FileRead { Missing, Unreadable, Read };

// Larger files are read too, so that they can be refused for their size rather than for a read
// error (a file we could not read may be good and must not be replaced on the strength of that).
// Something that is not a plain file (a pipe would block the open) counts as unreadable.
FileRead ReadBlockFile(const std::string& path, std::vector<uint8_t>& bytes) {
    bytes.clear();
    if (!plat::PathExists(path))
        return FileRead::Missing;
    if (plat::IsRegularFile(path) && plat::ReadWholeFile(path, bytes, 1u << 20))
        return FileRead::Read;
    return FileRead::Unreadable;
}

// True when the plain file at `path` holds exactly `bytes`.
bool FileHolds(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> held;
    return plat::ReadWholeFile(path, held, bytes.size()) && held == bytes;
}

}  // namespace

CKernelData::CKernelData() {
    std::memset(&m_Settings, 0, sizeof m_Settings);
    std::memset(m_Language, 0, sizeof m_Language);
    std::memset(&m_AppPaths, 0, sizeof m_AppPaths);
    std::memset(&m_AppPathsEdit, 0, sizeof m_AppPathsEdit);
    std::memset(m_szKbTitle, 0, sizeof m_szKbTitle);
    std::memset(m_szKbInitial, 0, sizeof m_szKbInitial);
    std::memset(m_szKbResult, 0, sizeof m_szKbResult);
}

std::string CKernelData::DataPath(const std::string& name) const {
    return plat::ResolvePath(plat::JoinPath(m_baseDir, name));
}

bool CKernelData::WriteBlock(const char* name, const std::vector<uint8_t>& bytes) {
    // Every change saves the whole block, and many saves change nothing (start-up alone saves
    // four times): a file that holds the block already is left alone, which spares the storage a
    // write and the caller the wait for it.
    const std::string path = DataPath(name);
    if (FileHolds(path, bytes))
        return true;
    return plat::WriteFileAtomic(path, bytes);
}

bool CKernelData::LoadSettings() {
    std::unique_lock<std::mutex> lock(m_saveMutex);
    std::vector<uint8_t> bytes;
    const FileRead db = ReadBlockFile(DataPath(SYS_SETTINGS_DB), bytes);
    if (db == FileRead::Read && ReadSettingsBlock(bytes, m_Settings)) {
        m_bSettingsFromIni = false;
        return true;
    }
    // The factory copy stands in only for a block that exists but is damaged: with no block
    // at all the ini is read, so that an ini put in place by an installer or a service is
    // what the unit starts from.
    const FileRead def = ReadBlockFile(DataPath(SYS_SETTINGS_DEF), bytes);
    if (db != FileRead::Missing && def == FileRead::Read && ReadSettingsBlock(bytes, m_Settings)) {
        m_bSettingsFromIni = false;
        return true;
    }

    std::memset(&m_Settings, 0, sizeof m_Settings);
    m_bSettingsFromIni = true;
    std::u16string text;
    if (!ReadUtf16File(DataPath(SYS_SETTINGS_INI), text))
        return false;
    SYS_SETTINGS fromIni;
    if (SettingsFromIni(text.c_str(), text.size(), fromIni) != 0)
        return false;
    m_Settings = fromIni;

    bytes = WriteSettingsBlock(m_Settings);
    bool saved = false;
    // A block we could not read may be good: it is not replaced on the strength of that.
    if (db != FileRead::Unreadable)
        saved = WriteBlock(SYS_SETTINGS_DB, bytes);
    if (def != FileRead::Unreadable)
        WriteBlock(SYS_SETTINGS_DEF, bytes);
    const int language = m_Settings.iLanguage;
    lock.unlock();
    if (saved && m_saveHook)
        m_saveHook(language);
    return true;
}

bool CKernelData::SaveSettings() {
    std::unique_lock<std::mutex> lock(m_saveMutex);
    const bool saved = WriteBlock(SYS_SETTINGS_DB, WriteSettingsBlock(m_Settings));
    const int language = m_Settings.iLanguage;
    lock.unlock();
    if (saved && m_saveHook)
        m_saveHook(language);
    return saved;
}

bool CKernelData::LoadDefaults() {
    std::lock_guard<std::mutex> lock(m_saveMutex);
    std::vector<uint8_t> bytes;
    return ReadBlockFile(DataPath(SYS_SETTINGS_DEF), bytes) == FileRead::Read &&
           ReadSettingsBlock(bytes, m_Settings);
}

bool CKernelData::LoadAppPath() {
    std::vector<uint8_t> bytes;
    if (ReadBlockFile(DataPath(APP_PATHS_DB), bytes) == FileRead::Read &&
        ReadAppPathsBlock(bytes, m_AppPaths))
        return true;
    std::memset(&m_AppPaths, 0, sizeof m_AppPaths);
    return false;
}

bool CKernelData::SaveAppPath() {
    return WriteBlock(APP_PATHS_DB, WriteAppPathsBlock(m_AppPaths));
}

bool CKernelData::LoadLanguage() {
    std::memset(m_Language, 0, sizeof m_Language);
    const char* name = LanguageFileName(m_Settings.iLanguage);
    if (!name)
        return true;
    std::u16string text;
    if (ReadUtf16File(DataPath(std::string(LANGUAGE_FOLDER "/") + name), text))
        FillLanguageTable(text, m_Language);
    return true;
}
