// The configuration data: skin name, media folders and configuration language ("Settings.db",
// first filled from "DefaultCfg.ini"), the skin's 36 homepage application entries, and the
// homepage layout of both seats ("homepage.db" in the skin's Homepage folder, first filled
// from its "DefaultLayout.ini").
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "library/include/KvTypes.h"

class IVantrel;

#define CFG_SETTINGS_SIZE 836
#define HOMEPAGE_LAYOUT_SIZE 50704
#define HOMEPAGE_CELL_SIZE 12

#define CFG_APP_COUNT 36
#define HOMEPAGE_SEATS 2
#define HOMEPAGE_PAGES 32
#define HOMEPAGE_ITEMS 64
#define HOMEPAGE_PATH_CHARS 256
#define CELL_EMPTY 0xFF
// FindApp's answer for an item on no page, and MovieCellLock's for no cell.
#define CELL_LOCK_NONE 255

#define CFG_SKIN_CHARS 33
#define CFG_FOLDER_CHARS 128

#define CFG_SETTINGS_DB "Settings.db"
#define CFG_DEFAULT_INI "DefaultCfg.ini"
#define HOMEPAGE_DB "homepage.db"
#define HOMEPAGE_DEFAULT_INI "DefaultLayout.ini"

// The application type that the rear seat never gets to open from its homepage.
#define CFG_APP_SETTINGS 8

enum CFG_LANGUAGE : uint8_t {
    CFG_LANG_ENGLISH = 0,
    CFG_LANG_TRADITIONAL = 1,
    CFG_LANG_SIMPLIFIED = 2,
    CFG_LANG_JAPANESE = 3,
};

// "Settings.db": 836 bytes.
struct CFG_SETTINGS {
    char16_t szSkin[CFG_SKIN_CHARS];           // 0: folder under "Skin"
    char16_t szMusicFolder[CFG_FOLDER_CHARS];  // 66
    char16_t szMovieFolder[CFG_FOLDER_CHARS];  // 322
    char16_t szPhotoFolder[CFG_FOLDER_CHARS];  // 578
    uint8_t byLanguage;                        // 834: CFG_LANGUAGE
    uint8_t byReserved;                        // 835
};
static_assert(sizeof(CFG_SETTINGS) == CFG_SETTINGS_SIZE, "configuration block size");
static_assert(offsetof(CFG_SETTINGS, szMusicFolder) == 66, "layout");
static_assert(offsetof(CFG_SETTINGS, szMovieFolder) == 322, "layout");
static_assert(offsetof(CFG_SETTINGS, szPhotoFolder) == 578, "layout");
static_assert(offsetof(CFG_SETTINGS, byLanguage) == 834, "layout");

// One homepage cell; stored as 12 bytes (the button pointer as zeros).
struct HOMEPAGE_CELL {
    uint8_t byApp;                        // APPTYPE, CELL_EMPTY for none
    KvUserInterface::IKvButton* pButton;  // run-time only
    uint8_t byEnabled;                    // 1 normal, 0 disabled
    uint8_t byLocked;                     // from the application lock table
};

// "homepage.db": 50704 bytes. The image and button pointers live only in memory.
struct HOMEPAGE_LAYOUT {
    uint8_t byItems;  // 0: items per page
    uint8_t byPages;  // 1: page count
    uint8_t byReserved;
    char16_t szBackground[HOMEPAGE_PATH_CHARS];                          // 4
    KvMultimedia::IKvImage* pBackground[HOMEPAGE_SEATS];                 // 516 front, rear
    char16_t szLockImage[HOMEPAGE_PATH_CHARS];                           // 524
    KvMultimedia::IKvImage* pLockImage;                                  // 1036
    HOMEPAGE_CELL cell[HOMEPAGE_SEATS][HOMEPAGE_PAGES][HOMEPAGE_ITEMS];  // 1552
};
static_assert(1552 + HOMEPAGE_SEATS * HOMEPAGE_PAGES * HOMEPAGE_ITEMS * HOMEPAGE_CELL_SIZE ==
                  HOMEPAGE_LAYOUT_SIZE,
              "homepage layout size");

// An application of the skin's homepage.
struct APP_ENTRY {
    uint8_t bAvailable;
    int left, top, right, bottom;
    KvUserInterface::IKvText* pText[HOMEPAGE_SEATS];  // captions, front and rear
    KvMultimedia::IKvImage* pImage[HOMEPAGE_SEATS];   // icon strips, front and rear
};

// The ini key of each application type ("APPTYPE_HOMEPAGE" ...).
extern const char16_t* const g_szAppTypeNames[CFG_APP_COUNT];

// Stored forms. A block of any other size is refused and `out` left as it was; what is read
// is made safe (texts terminated, the language and every cell in range, pointers null).
bool ReadCfgSettings(const uint8_t* data, size_t size, CFG_SETTINGS& out);
std::vector<uint8_t> WriteCfgSettings(const CFG_SETTINGS& s);
bool ReadHomepageLayout(const uint8_t* data, size_t size, HOMEPAGE_LAYOUT& out);
std::vector<uint8_t> WriteHomepageLayout(const HOMEPAGE_LAYOUT& layout);
// "English" 0, "Traditional" 1, "Simplified" 2, "Japanese" 3 in any case; anything else 0.
uint8_t CfgLanguageFromName(const char16_t* name);

class CCfgData {
public:
    // `root` is the library's root object (not referenced: the kernel holds it); `baseDir`
    // the kernel's base folder.
    CCfgData(IVantrel* root, std::u16string baseDir);
    ~CCfgData();
    CCfgData(const CCfgData&) = delete;
    CCfgData& operator=(const CCfgData&) = delete;

    // Makes the media folders, then "Settings.db", or "DefaultCfg.ini" (which is then saved).
    void Load();
    // Writes "Settings.db"; false when it could not be written.
    bool Save();

    // Reads the 36 application entries of the skin's DefaultLayout.ini.
    void LoadAppEntries();
    // The entries, then both grids emptied and "homepage.db" read over them when it is whole.
    bool LoadHomepage();
    // Builds one seat's grid (0 front, 1 rear): from "homepage.db" when it is there, else
    // from DefaultLayout.ini (saved after the rear seat). False when a button cannot be made.
    bool LoadLayout(int seat);
    bool SaveHomepage();

    // First front-grid cell holding `app` among the pages and items in use; when there is
    // none, page = page count and item = items per page (false).
    bool FindApp(int app, int* page, int* item) const;
    // Lock byte of the front grid's cell holding `app`, CELL_LOCK_NONE when there is none.
    uint8_t AppCellLock(int app) const;

    // "<base>\\Skin\\<skin>\\Homepage" and the files in it.
    std::u16string HomepageFolder() const;
    std::u16string HomepageFile(const char16_t* name) const;
    const std::u16string& BaseDir() const { return m_strBaseDir; }

    APP_ENTRY m_AppEntry[CFG_APP_COUNT];
    CFG_SETTINGS m_CfgSettings;
    HOMEPAGE_LAYOUT m_Layout;
    uint8_t m_bLockImageLoaded;

private:
    void ReleaseEntry(APP_ENTRY& entry);
    void ReleaseCell(HOMEPAGE_CELL& cell);
    void ReleaseLayoutObjects();
    // GetIniString on DefaultLayout.ini; empty when absent.
    std::u16string LayoutIni(const char16_t* section, const char16_t* key) const;
    KvMultimedia::IKvImage* CreateImage(const char16_t* path) const;
    // Reads "Background" (and with `lockImage` "LockImage") of [Property] into the layout.
    void ReadLayoutImages(bool lockImage);
    void SetSeatBackground(int seat);
    void LoadLockImage();
    // Gives a cell of `seat` its button and state; false when no button could be made.
    bool MakeCellButton(int seat, HOMEPAGE_CELL& cell);

    // Where the grids come from: the stored file, or the skin's defaults (saved after the
    // rear seat, unless a stored file is there and could not be read).
    enum { HOMEPAGE_FROM_INI, HOMEPAGE_FROM_INI_KEEP_FILE, HOMEPAGE_FROM_FILE };
    int m_iHomepageSource = HOMEPAGE_FROM_INI;
    IVantrel* m_pRoot;
    std::u16string m_strBaseDir;
};

// The process-wide configuration data; null until created.
extern CCfgData* pCfgData;
// Creates it from the kernel's root object and base folder when it does not exist yet.
CCfgData* GetCfgData();
// Deletes it (at the end of the program, with the kernel).
void DestroyCfgData();
