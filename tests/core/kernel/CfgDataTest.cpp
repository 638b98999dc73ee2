#include "core/kernel/CfgData.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "library/include/Vantrel.h"
#include "platform/sys/Module.h"
#include "platform/text/Text.h"
#include "tests/support/TestSupport.h"

using testsupport::Exists;
using testsupport::ReadBytes;
using testsupport::ScopedCwd;
using testsupport::TempDir;
using testsupport::WriteBytes;
using testsupport::WriteText;
using testsupport::WriteUtf16;

namespace {

std::u16string Str16At(const std::vector<uint8_t>& bytes, size_t offset, size_t chars) {
    std::u16string s;
    for (size_t i = 0; i < chars && offset + 2 * i + 1 < bytes.size(); ++i) {
        char16_t c = static_cast<char16_t>(bytes[offset + 2 * i] | bytes[offset + 2 * i + 1] << 8);
        if (!c)
            break;
        s += c;
    }
    return s;
}

const char* const kConfig =
    "; defaults\r\n"
    "[System Settings]\r\n"
    "Skin = Test\r\n"
    "Language = japanese\r\n"
    "Music Folder = D:\\Velkora Media\\Music\r\n"
    "Movie Folder = E:\\A folder name well beyond thirty-two characters\\Movie\r\n"
    "Photo Folder = D:\\Velkora Media\\Photo\r\n";

// The skin's homepage: MUSIC, MOVIE, RADIO and SETTINGS are offered; PHONE is placed but not
// offered; some lines are out of range.
const char* const kLayout =
    "[Property]\r\n"
    "Pages = 2\r\n"
    "Items = 4\r\n"
    "Background = bg.bmp\r\n"
    "LockImage = lock.bmp\r\n"
    "\r\n"
    "[Available Applications]\r\n"
    "APPTYPE_MUSIC = icon.bmp, 10, 20, 100, 90, 1, 2, 3, 4\r\n"
    "APPTYPE_MOVIE = icon.bmp, 0, 0, 64, 64, 0, 64, 64, 20\r\n"
    "APPTYPE_RADIO = icon.bmp, 0, 0, 64, 64, 0, 64, 64, 20\r\n"
    "APPTYPE_SETTINGS = icon.bmp, 0, 0, 64, 64, 0, 64, 64, 20\r\n"
    "APPTYPE_AUX = icon.bmp, 0, 0, 64, 64, 0, 64, 64, 20\r\n"
    "APPTYPE_TV = icon.bmp, 0, 0, 64, 64, 0, 64, 64, 20\r\n"
    "APPTYPE_BROWSER = icon.bmp, 0, 0, 64, 64, 0, 64, 64, 20\r\n"
    "APPTYPE_SKYPE = icon.bmp, 0, 0, 64, 64, 0, 64, 64, 20\r\n"
    "\r\n"
    "[Applications]\r\n"
    "APPTYPE_MUSIC = 1, 1, 1, 1\r\n"
    "APPTYPE_MOVIE = 1, 2, 1, 0\r\n"
    "APPTYPE_PHONE = 1, 3, 1, 1\r\n"
    "APPTYPE_SETTINGS = 2, 4, 1, 1\r\n"
    "APPTYPE_RADIO = 2, 1, 0, 1\r\n"
    "APPTYPE_AUX = 33, 1, 1, 1\r\n"
    "APPTYPE_TV = 1, 5, 1, 1\r\n"
    "APPTYPE_BROWSER = 0, 1, 1, 1\r\n"
    "APPTYPE_SKYPE = 1, 4\r\n";

// A 4x1 strip, one colour per frame.
void WriteIcon(const std::string& path) {
    // 16x4 BMP, 24 bits, bottom-up.
    const int w = 16, h = 4, row = w * 3;
    std::vector<uint8_t> b(54 + row * h, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    b[0] = 'B', b[1] = 'M';
    put32(2, static_cast<uint32_t>(b.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, w);
    put32(22, h);
    b[26] = 1;
    b[28] = 24;
    put32(34, static_cast<uint32_t>(row * h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b[54 + y * row + x * 3 + (x / 4) % 3] = 0xFF;
    WriteBytes(path, b);
}

class CfgDataTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_cwd = std::make_unique<ScopedCwd>(m_dir.Path());
        ASSERT_TRUE(m_lib.Load(VANTREL_MODULE_NAME)) << m_lib.Error();
        auto create = reinterpret_cast<PFN_CreateIVantrel>(m_lib.Symbol(VANTREL_EXPORT_NAME));
        ASSERT_NE(create, nullptr);
        m_root = create();
        ASSERT_NE(m_root, nullptr);
        WriteUtf16(CFG_DEFAULT_INI, kConfig, true);
        std::filesystem::create_directories("Skin/Test/Homepage");
        WriteUtf16("Skin/Test/Homepage/DefaultLayout.ini", kLayout, true);
        WriteIcon("Skin/Test/Homepage/icon.bmp");
        WriteIcon("Skin/Test/Homepage/bg.bmp");
        WriteIcon("Skin/Test/Homepage/lock.bmp");
    }

    void TearDown() override {
        m_cfg.reset();
        if (m_root)
            m_root->Release();
        m_lib.Leak();
    }

    CCfgData& Make() {
        m_cfg = std::make_unique<CCfgData>(m_root, plat::Utf8ToUtf16(m_dir.Path()));
        return *m_cfg;
    }

    // The whole start of both homepages, as the seats run it.
    CCfgData& LoadBoth() {
        CCfgData& cfg = Make();
        cfg.Load();
        EXPECT_TRUE(cfg.LoadHomepage());
        EXPECT_TRUE(cfg.LoadLayout(0));
        EXPECT_TRUE(cfg.LoadLayout(1));
        return cfg;
    }

    std::string HomepageDb() const { return m_dir.File("Skin/Test/Homepage/" HOMEPAGE_DB); }

    TempDir m_dir;
    std::unique_ptr<ScopedCwd> m_cwd;
    plat::Module m_lib;
    IVantrel* m_root = nullptr;
    std::unique_ptr<CCfgData> m_cfg;
};

uint8_t StateOf(KvUserInterface::IKvButton* b) {
    uint8_t state = 0xEE;
    if (b)
        b->GetState(&state);
    return state;
}

}  // namespace

TEST_F(CfgDataTest, AFirstStartWritesTheSettingsFromTheDefaults) {
    CCfgData& cfg = Make();
    cfg.Load();
    EXPECT_EQ(std::u16string(cfg.m_CfgSettings.szSkin), u"Test");
    EXPECT_EQ(cfg.m_CfgSettings.byLanguage, CFG_LANG_JAPANESE) << "compared without case";
    // A folder longer than thirty-two characters arrives whole.
    EXPECT_EQ(std::u16string(cfg.m_CfgSettings.szMovieFolder),
              u"E:\\A folder name well beyond thirty-two characters\\Movie");

    std::vector<uint8_t> db = ReadBytes(CFG_SETTINGS_DB);
    ASSERT_EQ(db.size(), static_cast<size_t>(CFG_SETTINGS_SIZE));
    EXPECT_EQ(Str16At(db, 0, 33), u"Test");
    EXPECT_EQ(Str16At(db, 66, 128), u"D:\\Velkora Media\\Music");
    EXPECT_EQ(Str16At(db, 578, 128), u"D:\\Velkora Media\\Photo");
    EXPECT_EQ(db[834], CFG_LANG_JAPANESE);
    EXPECT_EQ(db[835], 0);
    // The media folders on the unit's own disk.
    EXPECT_TRUE(std::filesystem::is_directory("Velkora Media/Music"));
    EXPECT_TRUE(std::filesystem::is_directory("Velkora Media/Movie"));
    EXPECT_TRUE(std::filesystem::is_directory("Velkora Media/Photo"));

    // The next start reads the file, not the defaults.
    cfg.m_CfgSettings.byLanguage = CFG_LANG_SIMPLIFIED;
    ASSERT_TRUE(cfg.Save());
    CCfgData& again = Make();
    again.Load();
    EXPECT_EQ(again.m_CfgSettings.byLanguage, CFG_LANG_SIMPLIFIED);
}

TEST_F(CfgDataTest, LanguageNames) {
    EXPECT_EQ(CfgLanguageFromName(u"English"), CFG_LANG_ENGLISH);
    EXPECT_EQ(CfgLanguageFromName(u"TRADITIONAL"), CFG_LANG_TRADITIONAL);
    EXPECT_EQ(CfgLanguageFromName(u"simplified"), CFG_LANG_SIMPLIFIED);
    EXPECT_EQ(CfgLanguageFromName(u"Japanese"), CFG_LANG_JAPANESE);
    EXPECT_EQ(CfgLanguageFromName(u"Klingon"), CFG_LANG_ENGLISH);
    EXPECT_EQ(CfgLanguageFromName(u""), CFG_LANG_ENGLISH);
    EXPECT_EQ(CfgLanguageFromName(nullptr), CFG_LANG_ENGLISH);
}

TEST_F(CfgDataTest, SettingsOfAnyOtherSizeAreRefusedAndReplaced) {
    for (size_t size : {size_t{0}, size_t{835}, size_t{837}, size_t{4096}}) {
        std::vector<uint8_t> junk(size, 0x41);
        WriteBytes(CFG_SETTINGS_DB, junk);
        CCfgData& cfg = Make();
        cfg.Load();
        EXPECT_EQ(std::u16string(cfg.m_CfgSettings.szSkin), u"Test") << size;
        EXPECT_EQ(ReadBytes(CFG_SETTINGS_DB).size(), static_cast<size_t>(CFG_SETTINGS_SIZE))
            << size;
    }
}

TEST_F(CfgDataTest, DamagedFieldsOfAWholeFileAreMadeSafe) {
    std::vector<uint8_t> bytes(CFG_SETTINGS_SIZE, 0x41);  // no terminator anywhere
    bytes[834] = 9;
    bytes[835] = 7;
    WriteBytes(CFG_SETTINGS_DB, bytes);
    CCfgData& cfg = Make();
    cfg.Load();
    EXPECT_EQ(plat::StrLen(cfg.m_CfgSettings.szSkin), static_cast<size_t>(CFG_SKIN_CHARS - 1));
    EXPECT_EQ(plat::StrLen(cfg.m_CfgSettings.szPhotoFolder),
              static_cast<size_t>(CFG_FOLDER_CHARS - 1));
    EXPECT_EQ(cfg.m_CfgSettings.byLanguage, CFG_LANG_ENGLISH);
    EXPECT_EQ(ReadBytes(CFG_SETTINGS_DB), bytes) << "a whole file is kept as it is";
    // The stored form round-trips.
    std::vector<uint8_t> again = WriteCfgSettings(cfg.m_CfgSettings);
    CFG_SETTINGS back;
    ASSERT_TRUE(ReadCfgSettings(again.data(), again.size(), back));
    EXPECT_EQ(WriteCfgSettings(back), again);
}

TEST_F(CfgDataTest, AGoodFileThatCannotBeReadIsNeverOverwritten) {
    CFG_SETTINGS good;
    std::memset(&good, 0, sizeof good);
    plat::StrCopy(good.szSkin, u"Mine");
    std::vector<uint8_t> bytes = WriteCfgSettings(good);
    WriteBytes(CFG_SETTINGS_DB, bytes);
    ASSERT_EQ(::chmod(CFG_SETTINGS_DB, 0), 0);
    const std::string dir = m_dir.Path();
    int rc = testsupport::RunWithPermissionsEnforced(
        [&] {
            CCfgData cfg(m_root, plat::Utf8ToUtf16(dir));
            cfg.Load();
            // The defaults are used for this run; the file stays.
            return std::u16string(cfg.m_CfgSettings.szSkin) == u"Test";
        },
        m_dir.File(CFG_SETTINGS_DB));
    ASSERT_EQ(::chmod(CFG_SETTINGS_DB, 0644), 0);
    if (rc == 2)
        GTEST_SKIP() << "permissions cannot be enforced here";
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(ReadBytes(CFG_SETTINGS_DB), bytes);
}

TEST_F(CfgDataTest, TheLayoutComesFromTheSkinDefaultsAndIsSavedWhole) {
    CCfgData& cfg = LoadBoth();
    const HOMEPAGE_LAYOUT& l = cfg.m_Layout;
    EXPECT_EQ(l.byPages, 2);
    EXPECT_EQ(l.byItems, 4);

    // The entries the skin offers.
    const APP_ENTRY& music = cfg.m_AppEntry[1];
    EXPECT_EQ(music.bAvailable, 1);
    EXPECT_EQ(music.left, 10);
    EXPECT_EQ(music.top, 20);
    EXPECT_EQ(music.right, 110);
    EXPECT_EQ(music.bottom, 110);
    EXPECT_NE(music.pImage[0], nullptr);
    EXPECT_NE(music.pImage[1], nullptr);
    EXPECT_NE(music.pImage[0], music.pImage[1]) << "front and rear load their own";
    EXPECT_NE(music.pText[0], nullptr);
    EXPECT_EQ(cfg.m_AppEntry[7].bAvailable, 0) << "PHONE is not offered";
    EXPECT_EQ(cfg.m_AppEntry[7].pImage[0], nullptr);

    // Front grid.
    auto& front = l.cell[0];
    EXPECT_EQ(front[0][0].byApp, 1);
    EXPECT_EQ(front[0][1].byApp, 2);
    EXPECT_EQ(front[0][2].byApp, CELL_EMPTY) << "an application the skin lacks leaves it empty";
    EXPECT_EQ(front[1][3].byApp, CFG_APP_SETTINGS);
    EXPECT_EQ(front[1][0].byApp, 4);
    EXPECT_EQ(front[1][0].byEnabled, 0);
    EXPECT_EQ(StateOf(front[1][0].pButton), KvUserInterface::BUTTON_DISABLED);
    EXPECT_EQ(StateOf(front[1][3].pButton), KvUserInterface::BUTTON_NORMAL);
    // Lines outside the grid or past the items of a page, or incomplete, place nothing.
    EXPECT_EQ(front[0][3].byApp, CELL_EMPTY) << "SKYPE's line is incomplete";
    for (int p = 0; p < HOMEPAGE_PAGES; ++p)
        for (int i = 0; i < HOMEPAGE_ITEMS; ++i)
            for (int app : {10, 6, 12})
                EXPECT_NE(front[p][i].byApp, app) << "page " << p << " item " << i;

    // Rear grid: the settings are always disabled there, whatever the file says.
    auto& rear = l.cell[1];
    EXPECT_EQ(rear[0][1].byEnabled, 0);
    EXPECT_EQ(StateOf(rear[0][1].pButton), KvUserInterface::BUTTON_DISABLED);
    EXPECT_EQ(rear[1][3].byApp, CFG_APP_SETTINGS);
    EXPECT_EQ(rear[1][3].byEnabled, 1);
    EXPECT_EQ(StateOf(rear[1][3].pButton), KvUserInterface::BUTTON_DISABLED);
    EXPECT_EQ(StateOf(rear[1][0].pButton), KvUserInterface::BUTTON_NORMAL);
    EXPECT_NE(l.pBackground[0], nullptr);
    EXPECT_NE(l.pBackground[1], nullptr);
    EXPECT_NE(l.pLockImage, nullptr);

    // Saved after the rear seat, at its exact size, with the run-time pointers as zeros.
    std::vector<uint8_t> db = ReadBytes(HomepageDb());
    ASSERT_EQ(db.size(), static_cast<size_t>(HOMEPAGE_LAYOUT_SIZE));
    EXPECT_EQ(db[0], 4);
    EXPECT_EQ(db[1], 2);
    EXPECT_EQ(db[2], 0);
    EXPECT_EQ(Str16At(db, 4, 256),
              plat::Utf8ToUtf16(m_dir.Path()) + u"\\Skin\\Test\\Homepage\\bg.bmp");
    EXPECT_EQ(Str16At(db, 524, 256),
              plat::Utf8ToUtf16(m_dir.Path()) + u"\\Skin\\Test\\Homepage\\lock.bmp");
    for (size_t at : {516, 517, 518, 519, 520, 521, 522, 523, 1036, 1037, 1038, 1039})
        EXPECT_EQ(db[at], 0) << at;
    for (size_t at = 1040; at < 1552; ++at)
        ASSERT_EQ(db[at], 0) << at;
    const size_t cell = 1552;  // front, page 1, item 1: MUSIC
    EXPECT_EQ(db[cell], 1);
    for (size_t at = cell + 1; at < cell + 8; ++at)
        EXPECT_EQ(db[at], 0) << "button pointer stored as zeros";
    EXPECT_EQ(db[cell + 8], 1);
    const size_t rearSettings = 1552 + (32 * 64 + 64 + 3) * 12;
    EXPECT_EQ(db[rearSettings], CFG_APP_SETTINGS);
    EXPECT_EQ(db[1552 + 2 * 12], CELL_EMPTY);
}

TEST_F(CfgDataTest, AStoredLayoutIsUsedAndFollowsTheSkin) {
    {
        CCfgData& cfg = LoadBoth();
        // The dual-seat page moves MOVIE and disables it on the front.
        cfg.m_Layout.cell[0][0][1].byEnabled = 0;
        ASSERT_TRUE(cfg.SaveHomepage());
    }
    // The skin stops offering MOVIE: its cells empty on the next start.
    std::string layout = kLayout;
    layout.erase(layout.find("APPTYPE_MOVIE = icon.bmp"),
                 std::string("APPTYPE_MOVIE = icon.bmp, 0, 0, 64, 64, 0, 64, 64, 20\r\n").size());
    WriteUtf16("Skin/Test/Homepage/DefaultLayout.ini", layout, true);
    CCfgData& cfg = LoadBoth();
    EXPECT_EQ(cfg.m_Layout.cell[0][0][1].byApp, CELL_EMPTY);
    EXPECT_EQ(cfg.m_Layout.cell[0][0][1].pButton, nullptr);
    EXPECT_EQ(cfg.m_Layout.cell[0][0][0].byApp, 1);
    EXPECT_NE(cfg.m_Layout.cell[0][0][0].pButton, nullptr);
}

TEST_F(CfgDataTest, TheStoredFlagsDecideTheButtons) {
    {
        CCfgData& cfg = LoadBoth();
        cfg.m_Layout.cell[0][0][0].byEnabled = 0;
        cfg.m_Layout.cell[1][1][3].byEnabled = 1;
        ASSERT_TRUE(cfg.SaveHomepage());
    }
    CCfgData& cfg = LoadBoth();
    EXPECT_EQ(StateOf(cfg.m_Layout.cell[0][0][0].pButton), KvUserInterface::BUTTON_DISABLED);
    EXPECT_EQ(StateOf(cfg.m_Layout.cell[1][1][3].pButton), KvUserInterface::BUTTON_DISABLED)
        << "the rear settings stay disabled";
    // A reload gives the same picture and leaks nothing (checked by the sanitizer).
    EXPECT_TRUE(cfg.LoadHomepage());
    EXPECT_TRUE(cfg.LoadLayout(0));
    EXPECT_TRUE(cfg.LoadLayout(1));
    EXPECT_EQ(StateOf(cfg.m_Layout.cell[0][0][0].pButton), KvUserInterface::BUTTON_DISABLED);
}

TEST_F(CfgDataTest, ALayoutFileOfAnyOtherSizeFallsBackToTheDefaults) {
    for (size_t size :
         {size_t{0}, size_t{HOMEPAGE_LAYOUT_SIZE - 1}, size_t{HOMEPAGE_LAYOUT_SIZE + 1}}) {
        WriteBytes(HomepageDb(), std::vector<uint8_t>(size, 0x05));
        CCfgData& cfg = LoadBoth();
        EXPECT_EQ(cfg.m_Layout.cell[0][0][0].byApp, 1) << size;
        EXPECT_EQ(ReadBytes(HomepageDb()).size(), static_cast<size_t>(HOMEPAGE_LAYOUT_SIZE))
            << "replaced by the defaults";
    }
}

TEST_F(CfgDataTest, AStoredBackgroundThatIsGoneIsTakenFromTheSkinAgain) {
    {
        CCfgData& cfg = LoadBoth();
        plat::StrCopy(cfg.m_Layout.szBackground, u"/nowhere/bg.bmp");
        ASSERT_TRUE(cfg.SaveHomepage());
    }
    CCfgData& cfg = LoadBoth();
    EXPECT_NE(cfg.m_Layout.pBackground[0], nullptr);
    EXPECT_EQ(Str16At(ReadBytes(HomepageDb()), 4, 256),
              plat::Utf8ToUtf16(m_dir.Path()) + u"\\Skin\\Test\\Homepage\\bg.bmp");
}

TEST_F(CfgDataTest, StoredCellsOutsideTheTablesAreEmptied) {
    HOMEPAGE_LAYOUT l;
    std::memset(&l, 0, sizeof l);
    l.byItems = 200;
    l.byPages = 99;
    for (auto& seat : l.cell)
        for (auto& page : seat)
            for (auto& cell : page)
                cell.byApp = CELL_EMPTY;
    l.cell[0][0][0].byApp = 36;
    l.cell[1][31][63].byApp = 35;
    std::vector<uint8_t> bytes = WriteHomepageLayout(l);
    ASSERT_EQ(bytes.size(), static_cast<size_t>(HOMEPAGE_LAYOUT_SIZE));
    HOMEPAGE_LAYOUT back;
    ASSERT_TRUE(ReadHomepageLayout(bytes.data(), bytes.size(), back));
    EXPECT_EQ(back.byItems, HOMEPAGE_ITEMS);
    EXPECT_EQ(back.byPages, HOMEPAGE_PAGES);
    EXPECT_EQ(back.cell[0][0][0].byApp, CELL_EMPTY);
    EXPECT_EQ(back.cell[1][31][63].byApp, 35);
    EXPECT_FALSE(ReadHomepageLayout(bytes.data(), bytes.size() - 1, back));
}

TEST_F(CfgDataTest, FindingAnApplicationOnTheFrontHomepage) {
    CCfgData& cfg = LoadBoth();
    int page = -1, item = -1;
    EXPECT_TRUE(cfg.FindApp(CFG_APP_SETTINGS, &page, &item));
    EXPECT_EQ(page, 1);
    EXPECT_EQ(item, 3);
    EXPECT_FALSE(cfg.FindApp(7, &page, &item));
    EXPECT_EQ(page, 2) << "the page count";
    EXPECT_EQ(item, 4) << "the items per page";
    cfg.m_Layout.cell[0][0][1].byLocked = 1;
    EXPECT_EQ(cfg.AppCellLock(2), 1);
    EXPECT_EQ(cfg.AppCellLock(7), CELL_LOCK_NONE);
}

TEST_F(CfgDataTest, AStoredLayoutThatCannotBeReadIsNeverOverwritten) {
    {
        CCfgData& cfg = LoadBoth();
        cfg.m_Layout.cell[0][0][1].byEnabled = 0;  // unlike the skin's defaults
        ASSERT_TRUE(cfg.SaveHomepage());
    }
    std::vector<uint8_t> stored = ReadBytes(HomepageDb());
    ASSERT_EQ(stored.size(), static_cast<size_t>(HOMEPAGE_LAYOUT_SIZE));
    ASSERT_EQ(::chmod(HomepageDb().c_str(), 0), 0);
    const std::string dir = m_dir.Path();
    int rc = testsupport::RunWithPermissionsEnforced(
        [&] {
            CCfgData cfg(m_root, plat::Utf8ToUtf16(dir));
            cfg.Load();
            // The skin's defaults serve this run; the stored layout stays for the next.
            return cfg.LoadHomepage() && cfg.LoadLayout(0) && cfg.LoadLayout(1) &&
                   cfg.m_Layout.cell[0][0][0].byApp == 1;
        },
        HomepageDb());
    ASSERT_EQ(::chmod(HomepageDb().c_str(), 0644), 0);
    if (rc == 2)
        GTEST_SKIP() << "permissions cannot be enforced here";
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(ReadBytes(HomepageDb()), stored);
}
