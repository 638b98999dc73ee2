#include "core/kernel/CfgData.h"

#include <cstring>
#include <memory>

#include "core/kernel/Kernel.h"
#include "core/kernel/LogWriter.h"
#include "library/include/Vantrel.h"
#include "platform/io/Binary.h"
#include "platform/io/File.h"
#include "platform/io/Path.h"
#include "platform/text/Text.h"

using KvMultimedia::IKvImage;
using KvUserInterface::IKvButton;
using KvUserInterface::IKvText;

CCfgData* pCfgData = nullptr;

const char16_t* const g_szAppTypeNames[CFG_APP_COUNT] = {
    u"APPTYPE_HOMEPAGE",
    u"APPTYPE_MUSIC",
    u"APPTYPE_MOVIE",
    u"APPTYPE_PHOTO",
    u"APPTYPE_RADIO",
    u"APPTYPE_NAVIGATION",
    u"APPTYPE_TV",
    u"APPTYPE_PHONE",
    u"APPTYPE_SETTINGS",
    u"APPTYPE_WINDOWS",
    u"APPTYPE_AUX",
    u"APPTYPE_AUX2",
    u"APPTYPE_BROWSER",
    u"APPTYPE_INTERNET_SERVICE",
    u"APPTYPE_BACKLIGHT",
    u"APPTYPE_APP_1",
    u"APPTYPE_SKYPE",
    u"APPTYPE_BLUETOOTH",
    u"APPTYPE_TPMS",
    u"APPTYPE_EXPLORER",
    u"APPTYPE_AUDIO_SET",
    u"APPTYPE_DISPLAY_SET",
    u"APPTYPE_DATE_TIME_SET",
    u"APPTYPE_LANGUAGE_SET",
    u"APPTYPE_SKIN_SET",
    u"APPTYPE_POWER_MODULE",
    u"APPTYPE_HOMEPAGE_SET",
    u"APPTYPE_CALIBRATION",
    u"APPTYPE_SYSTEM_SET",
    u"APPTYPE_APPLICATION_SET",
    u"APPTYPE_KB",
    u"APPTYPE_ABOUT",
    u"APPTYPE_DUAL_SET",
    u"APPTYPE_DATETIME",
    u"APPTYPE_LIGHT_SETTINGS",
    u"APPTYPE_DISPLAY_MANU",
};

namespace {

// Media folders made at every start; "D:" is the unit's own disk.
const char16_t* const kMediaFolders[] = {
    u"D:\\Velkora Media",
    u"D:\\Velkora Media\\Music",
    u"D:\\Velkora Media\\Movie",
    u"D:\\Velkora Media\\Photo",
};

constexpr int kIniChars = 512;
constexpr size_t kMaxDataFile = 1u << 20;

enum FileRead { FILE_MISSING, FILE_BAD_SIZE, FILE_UNREADABLE, FILE_READ };

// Reads a stored block that must be exactly `size` bytes.
FileRead ReadBlockFile(const std::u16string& path, size_t size, std::vector<uint8_t>& out) {
    std::string native = plat::NativePath(path);
    if (!plat::PathExists(native))
        return FILE_MISSING;
    // Something that is not a plain file (a folder, a pipe) is left alone.
    if (!plat::IsRegularFile(native))
        return FILE_UNREADABLE;
    if (!plat::ReadWholeFile(native, out, kMaxDataFile)) {
        // Too big is a bad file; anything else a read failure.
        plat::File f;
        if (f.Open(native, 0) && f.Size() > static_cast<int64_t>(kMaxDataFile))
            return FILE_BAD_SIZE;
        return FILE_UNREADABLE;
    }
    return out.size() == size ? FILE_READ : FILE_BAD_SIZE;
}

bool WriteBlockFile(const std::u16string& path, const std::vector<uint8_t>& bytes) {
    return plat::WriteFileAtomic(plat::NativePath(path), bytes);
}

// Byte range of one cell on disk: app, 3 zeros, button pointer (zeros), enabled, lock, 2 zeros.
void WriteCell(plat::BinWriter& w, const HOMEPAGE_CELL& c) {
    w.U8(c.byApp);
    w.Zeros(3);
    w.U32(0);
    w.U8(c.byEnabled);
    w.U8(c.byLocked);
    w.Zeros(2);
}

void ReadCell(plat::BinReader& r, HOMEPAGE_CELL& c) {
    c.byApp = r.U8();
    r.Skip(3);
    r.Skip(4);  // a button pointer of the run that wrote the file
    c.pButton = nullptr;
    c.byEnabled = r.U8();
    c.byLocked = r.U8();
    r.Skip(2);
    if (c.byApp >= CFG_APP_COUNT)
        c.byApp = CELL_EMPTY;
}

}  // namespace

// ---- Stored forms ------------------------------------------------------------------------------

bool ReadCfgSettings(const uint8_t* data, size_t size, CFG_SETTINGS& out) {
    if (!data || size != CFG_SETTINGS_SIZE)
        return false;
    CFG_SETTINGS s;
    plat::BinReader r(data, size);
    r.Str16(s.szSkin, CFG_SKIN_CHARS);
    r.Str16(s.szMusicFolder, CFG_FOLDER_CHARS);
    r.Str16(s.szMovieFolder, CFG_FOLDER_CHARS);
    r.Str16(s.szPhotoFolder, CFG_FOLDER_CHARS);
    s.byLanguage = r.U8();
    s.byReserved = 0;
    if (!r.Ok())
        return false;
    if (s.byLanguage > CFG_LANG_JAPANESE)
        s.byLanguage = CFG_LANG_ENGLISH;
    out = s;
    return true;
}

std::vector<uint8_t> WriteCfgSettings(const CFG_SETTINGS& s) {
    plat::BinWriter w;
    w.Str16(s.szSkin, CFG_SKIN_CHARS);
    w.Str16(s.szMusicFolder, CFG_FOLDER_CHARS);
    w.Str16(s.szMovieFolder, CFG_FOLDER_CHARS);
    w.Str16(s.szPhotoFolder, CFG_FOLDER_CHARS);
    w.U8(s.byLanguage);
    w.U8(0);
    return w.Data();
}

bool ReadHomepageLayout(const uint8_t* data, size_t size, HOMEPAGE_LAYOUT& out) {
    if (!data || size != HOMEPAGE_LAYOUT_SIZE)
        return false;
    plat::BinReader r(data, size);
    HOMEPAGE_LAYOUT l;
    l.byItems = r.U8();
    l.byPages = r.U8();
    l.byReserved = 0;
    r.Skip(2);
    r.Str16(l.szBackground, HOMEPAGE_PATH_CHARS);
    r.Skip(8);  // background image pointers
    l.pBackground[0] = l.pBackground[1] = nullptr;
    r.Str16(l.szLockImage, HOMEPAGE_PATH_CHARS);
    r.Skip(4);  // lock image pointer
    l.pLockImage = nullptr;
    r.Skip(1552 - 1040);
    for (auto& seat : l.cell)
        for (auto& page : seat)
            for (auto& cell : page)
                ReadCell(r, cell);
    if (!r.Ok() || !r.AtEnd())
        return false;
    // Counts beyond the grid would send the homepage outside it.
    if (l.byItems > HOMEPAGE_ITEMS)
        l.byItems = HOMEPAGE_ITEMS;
    if (l.byPages > HOMEPAGE_PAGES)
        l.byPages = HOMEPAGE_PAGES;
    out = l;
    return true;
}

std::vector<uint8_t> WriteHomepageLayout(const HOMEPAGE_LAYOUT& l) {
    plat::BinWriter w;
    w.Data().reserve(HOMEPAGE_LAYOUT_SIZE);
    w.U8(l.byItems);
    w.U8(l.byPages);
    w.Zeros(2);
    w.Str16(l.szBackground, HOMEPAGE_PATH_CHARS);
    w.Zeros(8);
    w.Str16(l.szLockImage, HOMEPAGE_PATH_CHARS);
    w.Zeros(4);
    w.Zeros(1552 - 1040);
    for (const auto& seat : l.cell)
        for (const auto& page : seat)
            for (const auto& cell : page)
                WriteCell(w, cell);
    return w.Data();
}

uint8_t CfgLanguageFromName(const char16_t* name) {
    static const char16_t* const kNames[] = {u"English", u"Traditional", u"Simplified",
                                             u"Japanese"};
    if (!name)
        return CFG_LANG_ENGLISH;
    for (uint8_t i = 0; i < 4; ++i) {
        if (plat::StrCmpNoCase(name, kNames[i]) == 0)
            return i;
    }
    return CFG_LANG_ENGLISH;
}

// ---- CCfgData
// ------------------------------------------------------------------------------------

CCfgData::CCfgData(IVantrel* root, std::u16string baseDir)
    : m_pRoot(root), m_strBaseDir(std::move(baseDir)) {
    std::memset(m_AppEntry, 0, sizeof m_AppEntry);
    std::memset(&m_CfgSettings, 0, sizeof m_CfgSettings);
    std::memset(&m_Layout, 0, sizeof m_Layout);
    m_bLockImageLoaded = 0;
}

CCfgData::~CCfgData() {
    for (APP_ENTRY& e : m_AppEntry)
        ReleaseEntry(e);
    ReleaseLayoutObjects();
    if (m_Layout.pLockImage) {
        m_Layout.pLockImage->Release();
        m_Layout.pLockImage = nullptr;
    }
}

void CCfgData::ReleaseEntry(APP_ENTRY& e) {
    for (int s = 0; s < HOMEPAGE_SEATS; ++s) {
        if (e.pText[s])
            e.pText[s]->Release();
        if (e.pImage[s])
            e.pImage[s]->Release();
    }
    std::memset(&e, 0, sizeof e);
}

void CCfgData::ReleaseCell(HOMEPAGE_CELL& cell) {
    if (cell.pButton) {
        cell.pButton->Release();
        cell.pButton = nullptr;
    }
}

void CCfgData::ReleaseLayoutObjects() {
    for (auto& seat : m_Layout.cell)
        for (auto& page : seat)
            for (auto& cell : page)
                ReleaseCell(cell);
    for (IKvImage*& bg : m_Layout.pBackground) {
        if (bg)
            bg->Release();
        bg = nullptr;
    }
}

std::u16string CCfgData::HomepageFolder() const {
    return m_strBaseDir + u"\\Skin\\" + m_CfgSettings.szSkin + u"\\Homepage";
}

std::u16string CCfgData::HomepageFile(const char16_t* name) const {
    return HomepageFolder() + u"\\" + name;
}

std::u16string CCfgData::LayoutIni(const char16_t* section, const char16_t* key) const {
    char16_t value[kIniChars] = {};
    if (!m_pRoot)
        return std::u16string();
    std::u16string file = HomepageFile(u"" HOMEPAGE_DEFAULT_INI);
    if (m_pRoot->GetIniString(file.c_str(), section, key, value, kIniChars) != RZ_OK)
        return std::u16string();
    return value;
}

IKvImage* CCfgData::CreateImage(const char16_t* path) const {
    IKvImage* image = nullptr;
    if (!m_pRoot || !path || !*path || m_pRoot->CreateImage(&image, path) != RZ_OK)
        return nullptr;
    return image;
}

void CCfgData::Load() {
    std::memset(&m_CfgSettings, 0, sizeof m_CfgSettings);
    for (const char16_t* folder : kMediaFolders)
        plat::MakeDirectory(plat::NativePath(folder));

    std::vector<uint8_t> bytes;
    std::u16string path = m_strBaseDir + u"\\" CFG_SETTINGS_DB;
    FileRead got = ReadBlockFile(path, CFG_SETTINGS_SIZE, bytes);
    if (got == FILE_READ && ReadCfgSettings(bytes.data(), bytes.size(), m_CfgSettings))
        return;
    if (got != FILE_MISSING)
        WriteLog("CCfgData::Load(): %s refused (%d)", CFG_SETTINGS_DB, static_cast<int>(got));

    // Defaults of the shipped configuration.
    std::u16string ini = m_strBaseDir + u"\\" CFG_DEFAULT_INI;
    char16_t value[kIniChars];
    auto read = [&](const char16_t* key) -> const char16_t* {
        value[0] = 0;
        if (m_pRoot)
            m_pRoot->GetIniString(ini.c_str(), u"System Settings", key, value, kIniChars);
        return value;
    };
    plat::StrCopy(m_CfgSettings.szSkin, read(u"Skin"));
    m_CfgSettings.byLanguage = CfgLanguageFromName(read(u"Language"));
    plat::StrCopy(m_CfgSettings.szMusicFolder, read(u"Music Folder"));
    plat::StrCopy(m_CfgSettings.szMovieFolder, read(u"Movie Folder"));
    plat::StrCopy(m_CfgSettings.szPhotoFolder, read(u"Photo Folder"));
    // A file that is there but could not be read stays as it is.
    if (got != FILE_UNREADABLE)
        Save();
}

bool CCfgData::Save() {
    return WriteBlockFile(m_strBaseDir + u"\\" CFG_SETTINGS_DB, WriteCfgSettings(m_CfgSettings));
}

void CCfgData::LoadAppEntries() {
    std::u16string folder = HomepageFolder();
    for (int m = 0; m < CFG_APP_COUNT; ++m) {
        APP_ENTRY& e = m_AppEntry[m];
        ReleaseEntry(e);
        std::u16string line = LayoutIni(u"Available Applications", g_szAppTypeNames[m]);
        if (line.empty() || !m_pRoot)
            continue;
        e.bAvailable = 1;
        char16_t file[kIniChars] = {};
        m_pRoot->GetFieldString(line.c_str(), 1, file, kIniChars);
        int f[10] = {};
        for (int i = 2; i <= 9; ++i)
            m_pRoot->GetFieldInt(line.c_str(), i, &f[i]);
        e.left = f[2];
        e.top = f[3];
        e.right = f[2] + f[4];
        e.bottom = f[3] + f[5];
        std::u16string image = folder + u"\\" + file;
        for (int s = 0; s < HOMEPAGE_SEATS; ++s) {
            e.pImage[s] = CreateImage(image.c_str());
            IKvText* text = nullptr;
            if (m_pRoot->CreateText(&text) == RZ_OK && text) {
                text->SetAlign(KvUserInterface::KVTEXT_ALIGN_CENTER);
                text->SetRect(f[6], f[7], f[8], f[9]);
                e.pText[s] = text;
            }
        }
    }
}

bool CCfgData::LoadHomepage() {
    LoadAppEntries();
    ReleaseLayoutObjects();
    m_Layout.byItems = 0;
    m_Layout.byPages = 0;
    m_Layout.byReserved = 0;
    for (auto& seat : m_Layout.cell)
        for (auto& page : seat)
            for (auto& cell : page)
                cell = HOMEPAGE_CELL{CELL_EMPTY, nullptr, 0, 0};
    // The layout is saved in the skin's folder: a save cut short leaves its temporary file there.
    std::vector<std::string> removed;
    plat::RemoveInterruptedSaves(plat::NativePath(HomepageFolder()), &removed);
    for (const std::string& name : removed)
        WriteLog("CCfgData::LoadHomepage(): %s of an interrupted save removed", name.c_str());
    std::vector<uint8_t> bytes;
    FileRead got = ReadBlockFile(HomepageFile(u"" HOMEPAGE_DB), HOMEPAGE_LAYOUT_SIZE, bytes);
    m_iHomepageSource = HOMEPAGE_FROM_INI;
    if (got == FILE_READ) {
        // The lock image is made once per run and outlives reloads.
        IKvImage* lockImage = m_Layout.pLockImage;
        if (ReadHomepageLayout(bytes.data(), bytes.size(), m_Layout))
            m_iHomepageSource = HOMEPAGE_FROM_FILE;
        m_Layout.pLockImage = lockImage;
    } else if (got == FILE_UNREADABLE) {
        m_iHomepageSource = HOMEPAGE_FROM_INI_KEEP_FILE;
    }
    if (got != FILE_MISSING && m_iHomepageSource != HOMEPAGE_FROM_FILE)
        WriteLog("CCfgData::LoadHomepage(): %s refused (%d)", HOMEPAGE_DB, static_cast<int>(got));
    return true;
}

void CCfgData::ReadLayoutImages(bool lockImage) {
    std::u16string folder = HomepageFolder();
    std::u16string value = LayoutIni(u"Property", u"Background");
    plat::StrCopy(m_Layout.szBackground, value.empty() ? value : folder + u"\\" + value);
    if (lockImage) {
        value = LayoutIni(u"Property", u"LockImage");
        plat::StrCopy(m_Layout.szLockImage, value.empty() ? value : folder + u"\\" + value);
    }
}

void CCfgData::SetSeatBackground(int seat) {
    if (m_Layout.pBackground[seat])
        m_Layout.pBackground[seat]->Release();
    m_Layout.pBackground[seat] = CreateImage(m_Layout.szBackground);
}

void CCfgData::LoadLockImage() {
    if (m_Layout.pLockImage)
        m_Layout.pLockImage->Release();
    m_Layout.pLockImage = CreateImage(m_Layout.szLockImage);
    m_bLockImageLoaded = 1;
}

bool CCfgData::MakeCellButton(int seat, HOMEPAGE_CELL& cell) {
    ReleaseCell(cell);
    IKvButton* button = nullptr;
    if (!m_pRoot || m_pRoot->CreateButton(&button) != RZ_OK || !button)
        return false;
    button->SetImage(m_AppEntry[cell.byApp].pImage[seat]);
    // The rear seat never opens the settings from its homepage.
    if (cell.byEnabled && !(seat == 1 && cell.byApp == CFG_APP_SETTINGS))
        button->SetNormal();
    else
        button->Disable();
    cell.pButton = button;
    return true;
}

bool CCfgData::LoadLayout(int seat) {
    if (seat < 0 || seat >= HOMEPAGE_SEATS)
        return false;
    auto& grid = m_Layout.cell[seat];
    if (m_iHomepageSource != HOMEPAGE_FROM_FILE) {
        std::u16string value = LayoutIni(u"Property", u"Pages");
        int n = value.empty() ? 0 : plat::StrToInt(value.c_str());
        if (n >= 1 && n <= HOMEPAGE_PAGES)
            m_Layout.byPages = static_cast<uint8_t>(n);
        value = LayoutIni(u"Property", u"Items");
        n = value.empty() ? 0 : plat::StrToInt(value.c_str());
        if (n >= 1 && n <= HOMEPAGE_ITEMS)
            m_Layout.byItems = static_cast<uint8_t>(n);
        ReadLayoutImages(true);
        SetSeatBackground(seat);
        LoadLockImage();

        for (int m = 0; m < CFG_APP_COUNT; ++m) {
            std::u16string line = LayoutIni(u"Applications", g_szAppTypeNames[m]);
            if (line.empty())
                continue;
            int page = 0, pos = 0, flag[2] = {};
            if (m_pRoot->GetFieldInt(line.c_str(), 1, &page) != RZ_OK ||
                m_pRoot->GetFieldInt(line.c_str(), 2, &pos) != RZ_OK ||
                m_pRoot->GetFieldInt(line.c_str(), 3, &flag[0]) != RZ_OK ||
                m_pRoot->GetFieldInt(line.c_str(), 4, &flag[1]) != RZ_OK) {
                WriteLog("CCfgData::LoadLayout(%d): %s incomplete", seat,
                         plat::Utf16ToUtf8(g_szAppTypeNames[m]).c_str());
                continue;
            }
            // A line outside the grid, or past the items of a page, has no cell.
            if (page < 1 || page > HOMEPAGE_PAGES || pos < 1 || pos > m_Layout.byItems) {
                WriteLog("CCfgData::LoadLayout(%d): %s at page %d item %d ignored", seat,
                         plat::Utf16ToUtf8(g_szAppTypeNames[m]).c_str(), page, pos);
                continue;
            }
            // An application the skin does not offer leaves its cell as it is.
            if (!m_AppEntry[m].bAvailable)
                continue;
            HOMEPAGE_CELL& cell = grid[page - 1][pos - 1];
            cell.byApp = static_cast<uint8_t>(m);
            cell.byEnabled = flag[seat] ? 1 : 0;
            if (!MakeCellButton(seat, cell))
                return false;
        }
        if (seat == HOMEPAGE_SEATS - 1 && m_iHomepageSource == HOMEPAGE_FROM_INI && SaveHomepage())
            m_iHomepageSource = HOMEPAGE_FROM_FILE;
        return true;
    }

    SetSeatBackground(seat);
    if (!m_Layout.pBackground[seat]) {
        // The stored picture is gone (another skin folder, a moved base folder).
        ReadLayoutImages(false);
        SaveHomepage();
        SetSeatBackground(seat);
    }
    if (!m_bLockImageLoaded)
        LoadLockImage();
    for (auto& page : grid) {
        for (HOMEPAGE_CELL& cell : page) {
            if (cell.byApp == CELL_EMPTY)
                continue;
            if (!m_AppEntry[cell.byApp].bAvailable) {
                ReleaseCell(cell);
                cell.byApp = CELL_EMPTY;
                continue;
            }
            if (!MakeCellButton(seat, cell))
                return false;
        }
    }
    return true;
}

bool CCfgData::SaveHomepage() {
    return WriteBlockFile(HomepageFile(u"" HOMEPAGE_DB), WriteHomepageLayout(m_Layout));
}

bool CCfgData::FindApp(int app, int* page, int* item) const {
    int pages = m_Layout.byPages, items = m_Layout.byItems;
    for (int p = 0; p < pages; ++p) {
        for (int i = 0; i < items; ++i) {
            if (m_Layout.cell[0][p][i].byApp == app) {
                if (page)
                    *page = p;
                if (item)
                    *item = i;
                return true;
            }
        }
    }
    if (page)
        *page = pages;
    if (item)
        *item = items;
    return false;
}

uint8_t CCfgData::AppCellLock(int app) const {
    int page = 0, item = 0;
    if (!FindApp(app, &page, &item))
        return CELL_LOCK_NONE;
    return m_Layout.cell[0][page][item].byLocked;
}

// ---- The process-wide object
// ---------------------------------------------------------------------

namespace {
std::unique_ptr<CCfgData> g_cfgData;
}

CCfgData* GetCfgData() {
    if (!pCfgData) {
        CKernel* kernel = CKernel::GetInstance();
        g_cfgData = std::make_unique<CCfgData>(
            kernel ? kernel->m_pRoot : nullptr,
            kernel ? std::u16string(kernel->m_szBaseDir) : std::u16string(u"."));
        pCfgData = g_cfgData.get();
    }
    return pCfgData;
}

void DestroyCfgData() {
    pCfgData = nullptr;
    g_cfgData.reset();
}
