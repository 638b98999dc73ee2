#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/kernel/KernelData.h"
#include "core/kernel/SysSettings.h"
#include "core/kernel/Utf16File.h"
#include "platform/sys/Module.h"
#include "platform/text/Text.h"
#include "tests/support/TestSupport.h"

using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;
using testsupport::WriteUtf16;

namespace {

// A stored block built byte by byte at the documented offsets, independently of the code
// under test.
class RawBlock {
public:
    RawBlock() : m_bytes(SYS_SETTINGS_SIZE, 0) {}
    void I32(size_t off, int32_t v) {
        for (int i = 0; i < 4; ++i)
            m_bytes[off + i] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
    }
    void I64(size_t off, int64_t v) {
        for (int i = 0; i < 8; ++i)
            m_bytes[off + i] = static_cast<uint8_t>(static_cast<uint64_t>(v) >> (8 * i));
    }
    void U8(size_t off, uint8_t v) { m_bytes[off] = v; }
    void Text(size_t off, const std::u16string& s) {
        for (size_t i = 0; i < s.size(); ++i) {
            m_bytes[off + 2 * i] = static_cast<uint8_t>(s[i] & 0xFF);
            m_bytes[off + 2 * i + 1] = static_cast<uint8_t>(s[i] >> 8);
        }
    }
    int32_t GetI32(size_t off) const {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<uint32_t>(m_bytes[off + i]) << (8 * i);
        return static_cast<int32_t>(v);
    }
    std::vector<uint8_t>& Bytes() { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
};

// Every field holds a value of its own, so that a field read from the wrong place shows.
RawBlock SampleBlock() {
    RawBlock b;
    b.I32(0, 4);
    b.U8(4, 7);
    b.I32(8, 21);
    b.I32(12, 2);
    b.I32(16, 3);
    b.U8(20, 1);
    b.I32(24, 3);
    b.I32(28, 5);
    b.I32(32, 6);
    b.I32(36, 1);
    b.I32(40, 2);
    b.I32(44, 8);
    b.I32(48, 2);
    b.Text(52, u"D:\\Music\\Song ☃.mp3");
    b.I32(1076, 17);
    b.Text(1080, u"Road trip");
    b.Text(2104, u"E:\\Movies\\Film.avi");
    for (int i = 0; i < 3; ++i)
        b.I32(3128 + 4 * i, 1 + i);  // brightness, night, day
    for (int i = 0; i < 3; ++i)
        b.I32(3140 + 4 * i, 4 + i);  // contrast
    for (int i = 0; i < 3; ++i)
        b.I32(3152 + 4 * i, 100 + i);  // RGB
    for (int i = 0; i < 3; ++i)
        b.I32(3164 + 4 * i, 7 + i);  // saturation
    for (int i = 0; i < 3; ++i)
        b.I32(3176 + 4 * i, 10 - i);  // backlight
    b.I32(3188, 6);
    for (int p = 0; p < 8; ++p)
        for (int band = 0; band < 3; ++band)
            b.I32(3192 + 12 * p + 4 * band, p - 4 + band);
    b.I32(3288, 2);
    for (int p = 0; p < 4; ++p)
        for (int v = 0; v < 4; ++v)
            b.I32(3292 + 16 * p + 4 * v, p - v);
    b.I32(3356, 1);
    b.I32(3360, 1);
    b.I32(3364, 2);
    b.I32(3368, 11);
    b.I32(3372, 12);
    b.I32(3376, 600);
    b.I32(3380, 0x12345678);
    b.I64(3384, 1234567890123LL);
    b.U8(3392, 1);
    b.Text(3394, u"E");
    b.I32(3396, static_cast<int32_t>(0x80001021u));
    b.Text(3400, u"F:\\Photos\\Beach.jpg");
    for (int slot = 0; slot < 9; ++slot)
        b.Text(4424 + 1024 * slot,
               u"https://example.org/" + plat::Utf8ToUtf16(std::to_string(slot)));
    b.U8(13640, 1);
    b.I32(13644, 1);
    b.I32(13648, 1);
    for (int i = 0; i < 28; ++i)
        b.U8(13652 + i, static_cast<uint8_t>(0xA0 + i));
    return b;
}

std::string RunDir() {
    return plat::ExecutableDir() + "/../run";
}

std::u16string Str(const char16_t* s) {
    return std::u16string(s, plat::StrLenN(s, SYS_PATH_CHARS));
}

}  // namespace

TEST(SettingsBlock, ReadsEveryFieldAtItsOffsetAndWritesTheSameBytes) {
    RawBlock raw = SampleBlock();
    SYS_SETTINGS s;
    ASSERT_TRUE(ReadSettingsBlock(raw.Bytes(), s));
    EXPECT_EQ(s.iCurrentApp, 4);
    EXPECT_EQ(s.byCurrentSource, 7);
    EXPECT_EQ(s.iAudioLevel, 21);
    EXPECT_EQ(s.iMusicRepeatMode, 2);
    EXPECT_EQ(s.iPhotoSpeedMode, 3);
    EXPECT_EQ(s.byPhotoResume, 1);
    EXPECT_EQ(s.iRadioBand, 3);
    EXPECT_EQ(s.iAMChannel[0], 5);
    EXPECT_EQ(s.iAMChannel[1], 6);
    EXPECT_EQ(s.iFMChannel[2], 8);
    EXPECT_EQ(s.iMediaType, 2);
    EXPECT_EQ(Str(s.szCurrentMusic), u"D:\\Music\\Song ☃.mp3");
    EXPECT_EQ(s.iCurrentTrackId, 17);
    EXPECT_EQ(Str(s.szCurrentPlaylist), u"Road trip");
    EXPECT_EQ(Str(s.szCurrentMovie), u"E:\\Movies\\Film.avi");
    EXPECT_EQ(s.iBrightnessDay, 3);
    EXPECT_EQ(s.iContrast, 4);
    EXPECT_EQ(s.iRGB[2], 102);
    EXPECT_EQ(s.iSaturationNight, 8);
    EXPECT_EQ(s.iBacklightDay, 8);
    EXPECT_EQ(s.iEQSelect, 6);
    EXPECT_EQ(s.iEQPreset[EQ_BASS][0], -1);
    EXPECT_EQ(s.iEQPreset[EQ_CUSTOM3][2], 5);
    EXPECT_EQ(s.iSpeakerSelect, 2);
    EXPECT_EQ(s.iSpeakerPreset[SPEAKER_REAR][SPEAKER_BALANCE], 2);
    EXPECT_EQ(s.iLoudness, 1);
    EXPECT_EQ(s.i51Priority, 1);
    EXPECT_EQ(s.iLanguage, 2);
    EXPECT_EQ(s.iDelayOn, 11);
    EXPECT_EQ(s.iDelayOff, 12);
    EXPECT_EQ(s.iAccHold, 600);
    EXPECT_EQ(s.iReserved, 0x12345678);
    EXPECT_EQ(s.llMoviePosition, 1234567890123LL);
    EXPECT_EQ(s.byMediaSeat, 1);
    EXPECT_EQ(s.chDrive, u'E');
    EXPECT_EQ(s.dwAppStatus, 0x80001021u);
    EXPECT_EQ(Str(s.szPicturePath), u"F:\\Photos\\Beach.jpg");
    EXPECT_EQ(Str(s.szInternet[INTERNET_YOUTUBE]), u"https://example.org/5");
    EXPECT_EQ(Str(s.szInternet[8]), u"https://example.org/8");
    EXPECT_EQ(s.byMixerCheck, 1);
    EXPECT_EQ(s.iShowCursor, 1);
    EXPECT_EQ(s.iLog, 1);
    EXPECT_EQ(s.byReserved[27], 0xA0 + 27);

    EXPECT_EQ(WriteSettingsBlock(s), raw.Bytes());
}

TEST(SettingsBlock, RefusesAnyOtherSizeAndLeavesTheBlockAlone) {
    SYS_SETTINGS s;
    std::memset(&s, 0, sizeof s);
    s.iAudioLevel = 9;
    std::vector<uint8_t> bytes = SampleBlock().Bytes();
    for (size_t size : {size_t(0), size_t(1), size_t(SYS_SETTINGS_SIZE - 1),
                        size_t(SYS_SETTINGS_SIZE + 1), size_t(2 * SYS_SETTINGS_SIZE)}) {
        bytes.resize(size, 0x55);
        EXPECT_FALSE(ReadSettingsBlock(bytes, s)) << size;
        EXPECT_EQ(s.iAudioLevel, 9);
    }
}

TEST(SettingsBlock, DamagedValuesComeBackTerminatedAndInRange) {
    std::vector<uint8_t> garbage(SYS_SETTINGS_SIZE, 0xFF);  // no text ends, every int is -1
    RawBlock raw;
    raw.Bytes() = garbage;
    raw.I32(0, 99);      // application type
    raw.I32(8, 1000);    // volume
    raw.I32(3364, 7);    // language
    raw.I32(3188, 40);   // EQ preset
    raw.I32(3192, 300);  // a gain
    SYS_SETTINGS s;
    ASSERT_TRUE(ReadSettingsBlock(raw.Bytes(), s));
    EXPECT_EQ(s.iCurrentApp, SYS_APPTYPE_COUNT - 1);
    EXPECT_EQ(s.iAudioLevel, SYS_VOLUME_MAX);
    EXPECT_EQ(s.iLanguage, 3);
    EXPECT_EQ(s.iEQSelect, 7);
    EXPECT_EQ(s.iEQPreset[0][0], 12);
    EXPECT_EQ(s.iEQPreset[0][1], -1);
    EXPECT_EQ(s.iSpeakerSelect, 0);  // -1 read
    EXPECT_EQ(s.iBrightness, 0);
    EXPECT_EQ(s.iRadioBand, 0);
    for (const char16_t* text : {s.szCurrentMusic, s.szCurrentPlaylist, s.szCurrentMovie,
                                 s.szPicturePath, s.szInternet[0], s.szInternet[8]})
        EXPECT_EQ(plat::StrLenN(text, SYS_PATH_CHARS), size_t(SYS_PATH_CHARS - 1));
}

TEST(SysIni, FindsKeysOfTheirOwnSectionOnly) {
    const std::u16string text =
        u"\uFEFF; the LANGUAGE and TEST words appear here first\r\n"
        u"[EQ Settings]\r\n"
        u"Bass = 3, 0, -2 ; a comment\r\n"
        u"Flat=0, 0, 0\r\n"
        u"  Title = [not a section] ; text\r\n"
        u"Late = x\r\n"
        u"[LANGUAGE]\r\n"
        u"Cur Select = 2\r\n"
        u"[TEST]\n"
        u"Log =    1\t \n"
        u"Only here = yes\n";
    char16_t out[SYS_PATH_CHARS];
    auto find = [&](const char16_t* section, const char16_t* key) -> std::u16string {
        out[0] = u'?';
        if (ReadSysIni(section, text.c_str(), text.size(), key, out) != 0)
            return u"<none>";
        return out;
    };
    EXPECT_EQ(find(u"EQ Settings", u"Bass"), u"3, 0, -2");
    EXPECT_EQ(find(u"EQ Settings", u"Flat"), u"0, 0, 0");
    // A "[" inside a value does not end the section; only a row that starts with one does.
    EXPECT_EQ(find(u"EQ Settings", u"Title"), u"[not a section]");
    EXPECT_EQ(find(u"EQ Settings", u"Late"), u"x");
    // The section is found by its own row, not by the first place its name appears.
    EXPECT_EQ(find(u"LANGUAGE", u"Cur Select"), u"2");
    EXPECT_EQ(find(u"TEST", u"Log"), u"1");
    EXPECT_EQ(find(u"EQ Settings", u"Only here"), u"<none>");
    EXPECT_EQ(find(u"EQ Settings", u"Cur Select"), u"<none>");
    EXPECT_EQ(find(u"TEST", u"log"), u"<none>");  // keys are case-sensitive
    EXPECT_EQ(find(u"MISSING", u"Log"), u"<none>");
    EXPECT_EQ(out[0], u'?');  // not found leaves the buffer alone
}

TEST(SysIni, LongValuesAreCutTo511Characters) {
    std::u16string longValue(700, u'a');
    std::u16string text = u"[S]\r\nk = " + longValue + u"\r\n";
    char16_t out[SYS_PATH_CHARS];
    ASSERT_EQ(ReadSysIni(u"S", text.c_str(), text.size(), u"k", out), 0);
    EXPECT_LE(plat::StrLenN(out, SYS_PATH_CHARS), size_t(511));
    EXPECT_EQ(out[SYS_PATH_CHARS - 1], 0);
}

TEST(SysIni, FactoryFileFillsEveryKey) {
    std::u16string text;
    ASSERT_TRUE(ReadUtf16File(RunDir() + "/" SYS_SETTINGS_INI, text)) << RunDir();
    SYS_SETTINGS s;
    ASSERT_EQ(SettingsFromIni(text.c_str(), text.size(), s), 0);
    EXPECT_EQ(s.iAudioLevel, 16);
    EXPECT_EQ(s.iLanguage, 0);
    EXPECT_EQ(s.chDrive, u'D');
    EXPECT_EQ(s.iBacklightNight, 3);
    EXPECT_EQ(s.iBacklightDay, 9);
    EXPECT_EQ(s.iEQPreset[EQ_BASS][0], 6);
    EXPECT_EQ(s.iEQPreset[EQ_BASS][2], -1);
    EXPECT_EQ(s.iSpeakerPreset[SPEAKER_DRIVER][SPEAKER_BALANCE], -3);
    EXPECT_EQ(s.iAccHold, 2);
    EXPECT_EQ(Str(s.szInternet[INTERNET_YOUTUBE]), u"https://www.youtube.com/");
    EXPECT_EQ(s.szInternet[0][0], 0);
    EXPECT_EQ(s.szCurrentMusic[0], 0);
    EXPECT_EQ(s.iLog, 0);
}

// The settings files at start: SysSettings.db; a damaged one SysSettings.def; else
// SysSettings.ini.
class SettingsFiles : public ::testing::Test {
protected:
    void SetUp() override { m_data.SetBaseDir(m_dir.Path()); }
    void CopyFactoryIni() {
        WriteBytes(m_dir.File(SYS_SETTINGS_INI), ReadBytes(RunDir() + "/" SYS_SETTINGS_INI));
    }
    std::vector<uint8_t> BlockWithVolume(int volume) {
        RawBlock b = SampleBlock();
        b.I32(8, volume);
        return b.Bytes();
    }

    TempDir m_dir;
    CKernelData m_data;
};

TEST_F(SettingsFiles, FirstRunMakesDbAndDefFromTheIni) {
    CopyFactoryIni();
    int hookLanguage = -1;
    m_data.SetSaveHook([&](int language) { hookLanguage = language; });
    ASSERT_TRUE(m_data.LoadSettings());
    EXPECT_TRUE(m_data.m_bSettingsFromIni);
    EXPECT_EQ(m_data.m_Settings.iAudioLevel, 16);
    std::vector<uint8_t> db = ReadBytes(m_dir.File(SYS_SETTINGS_DB));
    EXPECT_EQ(db.size(), size_t(SYS_SETTINGS_SIZE));
    EXPECT_EQ(db, ReadBytes(m_dir.File(SYS_SETTINGS_DEF)));
    EXPECT_EQ(db, WriteSettingsBlock(m_data.m_Settings));
    EXPECT_EQ(hookLanguage, 0);

    // The next start reads the block, not the ini.
    CKernelData next;
    next.SetBaseDir(m_dir.Path());
    ASSERT_TRUE(next.LoadSettings());
    EXPECT_FALSE(next.m_bSettingsFromIni);
}

TEST_F(SettingsFiles, DamagedDbFallsBackToDefThenIni) {
    CopyFactoryIni();
    WriteBytes(m_dir.File(SYS_SETTINGS_DEF), BlockWithVolume(30));
    std::vector<uint8_t> good = BlockWithVolume(25);

    std::vector<uint8_t> truncated(good.begin(), good.begin() + 5000);
    std::vector<uint8_t> oversized = good;
    oversized.push_back(0);
    std::vector<uint8_t> garbage(777);
    for (size_t i = 0; i < garbage.size(); ++i)
        garbage[i] = static_cast<uint8_t>(i * 37 + 11);
    for (const auto& bad : {truncated, oversized, garbage, std::vector<uint8_t>()}) {
        WriteBytes(m_dir.File(SYS_SETTINGS_DB), bad);
        CKernelData d;
        d.SetBaseDir(m_dir.Path());
        ASSERT_TRUE(d.LoadSettings()) << bad.size();
        EXPECT_EQ(d.m_Settings.iAudioLevel, 30) << bad.size();
        EXPECT_FALSE(d.m_bSettingsFromIni);
        // Loading alone never replaces the damaged file: the next save does.
        EXPECT_EQ(ReadBytes(m_dir.File(SYS_SETTINGS_DB)), bad);
    }

    // With the factory copy damaged too, the ini gives the block and both files are rebuilt.
    WriteBytes(m_dir.File(SYS_SETTINGS_DB), truncated);
    WriteBytes(m_dir.File(SYS_SETTINGS_DEF), oversized);
    ASSERT_TRUE(m_data.LoadSettings());
    EXPECT_TRUE(m_data.m_bSettingsFromIni);
    EXPECT_EQ(m_data.m_Settings.iAudioLevel, 16);
    EXPECT_EQ(ReadBytes(m_dir.File(SYS_SETTINGS_DB)).size(), size_t(SYS_SETTINGS_SIZE));
    EXPECT_EQ(ReadBytes(m_dir.File(SYS_SETTINGS_DEF)), ReadBytes(m_dir.File(SYS_SETTINGS_DB)));
}

TEST_F(SettingsFiles, WithNoDbANewIniIsReadBeforeAnOldFactoryCopy) {
    // An installer puts a new ini beside the factory copy of an earlier one.
    std::string ini = testsupport::ReadText(RunDir() + "/" SYS_SETTINGS_INI);
    std::u16string wide = DecodeUtf16Le(reinterpret_cast<const uint8_t*>(ini.data()), ini.size());
    size_t at = wide.find(u"audio level");
    ASSERT_NE(at, std::u16string::npos);
    size_t end = wide.find_first_of(u"\r\n", at);
    wide.replace(at, end - at, u"audio level = 9");
    WriteUtf16(m_dir.File(SYS_SETTINGS_INI), plat::Utf16ToUtf8(wide), true);
    WriteBytes(m_dir.File(SYS_SETTINGS_DEF), BlockWithVolume(30));

    ASSERT_TRUE(m_data.LoadSettings());
    EXPECT_TRUE(m_data.m_bSettingsFromIni);
    EXPECT_EQ(m_data.m_Settings.iAudioLevel, 9);
    std::vector<uint8_t> def = ReadBytes(m_dir.File(SYS_SETTINGS_DEF));
    ASSERT_EQ(def.size(), size_t(SYS_SETTINGS_SIZE));
    EXPECT_EQ(def[8], 9) << "the factory copy follows the new ini";
    EXPECT_EQ(ReadBytes(m_dir.File(SYS_SETTINGS_DB)), def);

    // A damaged block still takes the factory copy, not the ini.
    WriteBytes(m_dir.File(SYS_SETTINGS_DEF), BlockWithVolume(30));
    WriteBytes(m_dir.File(SYS_SETTINGS_DB), std::vector<uint8_t>(SYS_SETTINGS_SIZE - 1, 0));
    CKernelData next;
    next.SetBaseDir(m_dir.Path());
    ASSERT_TRUE(next.LoadSettings());
    EXPECT_FALSE(next.m_bSettingsFromIni);
    EXPECT_EQ(next.m_Settings.iAudioLevel, 30);
}

TEST_F(SettingsFiles, GoodDbWinsAndFileNamesMatchWithoutCase) {
    CopyFactoryIni();
    WriteBytes(m_dir.File("syssettings.DB"), BlockWithVolume(25));
    ASSERT_TRUE(m_data.LoadSettings());
    EXPECT_EQ(m_data.m_Settings.iAudioLevel, 25);
    EXPECT_FALSE(m_data.m_bSettingsFromIni);
    // Saving replaces that same file instead of adding a second one.
    m_data.m_Settings.iAudioLevel = 26;
    ASSERT_TRUE(m_data.SaveSettings());
    EXPECT_FALSE(testsupport::Exists(m_dir.File(SYS_SETTINGS_DB)));
    std::vector<uint8_t> saved = ReadBytes(m_dir.File("syssettings.DB"));
    ASSERT_EQ(saved.size(), size_t(SYS_SETTINGS_SIZE));
    EXPECT_EQ(saved[8], 26);
}

TEST_F(SettingsFiles, ADbThatCannotBeReadIsNeverReplacedByDefaults) {
    CopyFactoryIni();
    // A pipe in place of the file: opening it would wait forever for a writer.
    ASSERT_EQ(::mkfifo(m_dir.File(SYS_SETTINGS_DB).c_str(), 0644), 0);
    ASSERT_TRUE(m_data.LoadSettings());
    EXPECT_TRUE(m_data.m_bSettingsFromIni);
    EXPECT_TRUE(std::filesystem::is_fifo(m_dir.File(SYS_SETTINGS_DB)));
    EXPECT_EQ(ReadBytes(m_dir.File(SYS_SETTINGS_DEF)).size(), size_t(SYS_SETTINGS_SIZE));
}

TEST_F(SettingsFiles, NoUsableSourceFailsAndWritesNothing) {
    EXPECT_FALSE(m_data.LoadSettings());
    // An ini that lacks a key is no source either.
    std::string ini = testsupport::ReadText(RunDir() + "/" SYS_SETTINGS_INI);
    std::u16string wide = DecodeUtf16Le(reinterpret_cast<const uint8_t*>(ini.data()), ini.size());
    size_t at = wide.find(u"Log =");
    ASSERT_NE(at, std::u16string::npos);
    wide.replace(at, 3, u"Xog");
    WriteUtf16(m_dir.File(SYS_SETTINGS_INI), plat::Utf16ToUtf8(wide), true);
    EXPECT_FALSE(m_data.LoadSettings());
    EXPECT_FALSE(testsupport::Exists(m_dir.File(SYS_SETTINGS_DB)));
    EXPECT_FALSE(testsupport::Exists(m_dir.File(SYS_SETTINGS_DEF)));
}

TEST_F(SettingsFiles, SaveRoundTripKeepsEveryByteAtItsOffset) {
    RawBlock raw = SampleBlock();
    WriteBytes(m_dir.File(SYS_SETTINGS_DB), raw.Bytes());
    ASSERT_TRUE(m_data.LoadSettings());
    m_data.m_Settings.iAudioLevel = 5;
    plat::StrCopy(m_data.m_Settings.szCurrentMovie, u"G:\\Clip.mpg");
    m_data.m_Settings.llMoviePosition = -2;
    ASSERT_TRUE(m_data.SaveSettings());

    raw.I32(8, 5);
    std::vector<uint8_t> movie(1024, 0);
    std::memcpy(raw.Bytes().data() + 2104, movie.data(), movie.size());
    raw.Text(2104, u"G:\\Clip.mpg");
    raw.I64(3384, -2);
    EXPECT_EQ(ReadBytes(m_dir.File(SYS_SETTINGS_DB)), raw.Bytes());
}

TEST_F(SettingsFiles, DefaultsComeFromTheFactoryCopyOnly) {
    WriteBytes(m_dir.File(SYS_SETTINGS_DB), BlockWithVolume(25));
    ASSERT_TRUE(m_data.LoadSettings());
    EXPECT_FALSE(m_data.LoadDefaults());  // no factory copy: the block stays
    EXPECT_EQ(m_data.m_Settings.iAudioLevel, 25);
    WriteBytes(m_dir.File(SYS_SETTINGS_DEF), std::vector<uint8_t>(100, 1));
    EXPECT_FALSE(m_data.LoadDefaults());
    EXPECT_EQ(m_data.m_Settings.iAudioLevel, 25);
    WriteBytes(m_dir.File(SYS_SETTINGS_DEF), BlockWithVolume(3));
    EXPECT_TRUE(m_data.LoadDefaults());
    EXPECT_EQ(m_data.m_Settings.iAudioLevel, 3);
    // Restoring does not save: the page that asked for it does.
    EXPECT_EQ(ReadBytes(m_dir.File(SYS_SETTINGS_DB))[8], 25);
}
