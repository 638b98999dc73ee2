#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "core/kernel/KernelData.h"
#include "core/kernel/Language.h"
#include "core/kernel/SysSettings.h"
#include "core/kernel/Utf16File.h"
#include "platform/io/File.h"
#include "platform/sys/Module.h"
#include "platform/text/Text.h"
#include "tests/support/TestSupport.h"

using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;
using testsupport::WriteUtf16;

namespace {

std::string RunDir() {
    return plat::ExecutableDir() + "/../run";
}

// How the units already in the field read these files: substring searches for sections and
// keys, and the character after "=" skipped. Our files must read the same way there.
std::u16string LegacyLangEntry(const std::u16string& text, const std::u16string& section,
                               const std::u16string& key) {
    size_t header = text.find(u"[" + section + u"]");
    if (header == std::u16string::npos)
        return std::u16string();
    size_t from = header + section.size() + 2;
    size_t next = text.find(u'[', from);
    size_t at = text.find(key, from);
    if (at == std::u16string::npos || (next != std::u16string::npos && at > next))
        return std::u16string();
    size_t eq = text.find(u'=', at);
    if (eq == std::u16string::npos)
        return std::u16string();
    size_t start = std::min(eq + 2, text.size());
    size_t end = text.find_first_of(u"\r\n;", start);
    if (end == std::u16string::npos)
        end = text.size();
    return text.substr(start, std::min<size_t>(end - start, 127));
}

std::u16string LegacySysIni(const std::u16string& text, const std::u16string& section,
                            const std::u16string& key, bool& found) {
    found = false;
    size_t name = text.find(section);
    if (name == std::u16string::npos)
        return std::u16string();
    size_t close = text.find(u']', name);
    if (close == std::u16string::npos)
        return std::u16string();
    size_t pos = close + 1;
    int rows = 0;
    while (pos < text.size() && rows < 512) {
        size_t end = text.find_first_of(u"\r\n", pos);
        if (end == std::u16string::npos)
            end = text.size();
        std::u16string row = text.substr(pos, end - pos);
        pos = end + 1;
        size_t lead = row.find_first_not_of(u" \t");
        row = lead == std::u16string::npos ? std::u16string() : row.substr(lead);
        if (row.empty() || row[0] == u';')
            continue;
        if (row.find(u'[') != std::u16string::npos)
            break;
        ++rows;
        row = row.substr(0, 511);
        size_t eq = row.find(u'=');
        if (eq == std::u16string::npos)
            continue;
        std::u16string k = row.substr(0, eq);
        while (!k.empty() && (k.back() == u' ' || k.back() == u'\t' || k.back() == u'='))
            k.pop_back();
        if (k != key)
            continue;
        size_t v = row.find_first_not_of(u"= \t", eq);
        std::u16string value = v == std::u16string::npos ? std::u16string() : row.substr(v);
        value = value.substr(0, value.find(u';'));
        while (!value.empty() && (value.back() == u' ' || value.back() == u'\t'))
            value.pop_back();
        found = true;
        return value;
    }
    return std::u16string();
}

std::u16string Entry(const LANGUAGE_TABLE& table, int index) {
    return std::u16string(table[index], plat::StrLenN(table[index], LANGUAGE_ENTRY_CHARS));
}

bool HasCjk(const std::u16string& s) {
    for (char16_t c : s) {
        if ((c >= 0x3040 && c <= 0x30FF) || (c >= 0x4E00 && c <= 0x9FFF))
            return true;
    }
    return false;
}

}  // namespace

TEST(LanguageFiles, EveryFileHasEveryKeyAndReadsTheSameOnOlderUnits) {
    std::set<int> indices;
    for (const LANGUAGE_KEY& k : g_LanguageKeys)
        indices.insert(k.index);
    EXPECT_EQ(indices.size(), size_t(LANGUAGE_KEY_COUNT));
    EXPECT_EQ(indices.count(37) + indices.count(38) + indices.count(39), 0u);

    for (int language = 0; language < SYS_LANGUAGE_COUNT; ++language) {
        const std::string path = RunDir() + "/Language/" + LanguageFileName(language);
        std::vector<uint8_t> bytes = ReadBytes(path);
        ASSERT_GE(bytes.size(), 2u) << path;
        EXPECT_EQ(bytes[0], 0xFF);  // UTF-16LE with its mark
        EXPECT_EQ(bytes[1], 0xFE);
        std::u16string text = DecodeUtf16Le(bytes.data(), bytes.size());
        EXPECT_NE(text.find(u"\r\n"), std::u16string::npos);

        LANGUAGE_TABLE table;
        FillLanguageTable(text, table);
        int cjk = 0;
        for (const LANGUAGE_KEY& k : g_LanguageKeys) {
            std::u16string value = Entry(table, k.index);
            EXPECT_FALSE(value.empty()) << path << " " << plat::Utf16ToUtf8(k.key);
            EXPECT_EQ(LegacyLangEntry(text, k.section, k.key), value)
                << path << " " << plat::Utf16ToUtf8(k.key);
            cjk += HasCjk(value);
        }
        // The translations are translated: nearly every text is in Chinese or Japanese script.
        if (language > 0)
            EXPECT_GT(cjk, LANGUAGE_KEY_COUNT * 9 / 10) << path;
        else
            EXPECT_EQ(cjk, 3) << path;  // the names of the other three languages
        for (int unused : {37, 38, 39})
            EXPECT_EQ(table[unused][0], 0);
    }
}

TEST(LanguageFiles, KeysMatchWholeAndKeepTheirFirstLetter) {
    const std::u16string text =
        u"[APP_ITEMS]\r\n"
        u"MSG_AUX2 = Second input\r\n"
        u"MSG_AUX=Input\r\n"
        u"MSG_HOMEPAGE_SET =  Layout ; comment\r\n"
        u"MSG_HOMEPAGE=\tHome\r\n"
        u"[LANGUAGES]\r\n"
        u"MSG_MUSIC = Music in the wrong section\r\n";
    LANGUAGE_TABLE table;
    FillLanguageTable(text, table);
    EXPECT_EQ(Entry(table, MSG_AUX), u"Input");
    EXPECT_EQ(Entry(table, MSG_AUX2), u"Second input");
    EXPECT_EQ(Entry(table, MSG_HOMEPAGE), u"Home");
    EXPECT_EQ(Entry(table, MSG_HOMEPAGE_SET), u"Layout ");
    EXPECT_EQ(Entry(table, MSG_MUSIC), u"");  // it stands only in a later section
    EXPECT_EQ(Entry(table, MSG_LANG_ENG), u"");
}

TEST(LanguageFiles, LongTextsAreCutTo127Characters) {
    std::u16string text = u"[MSG]\r\nMSG_MSG_LOCK = " + std::u16string(300, u'x') + u"\r\n";
    char16_t out[LANGUAGE_ENTRY_CHARS];
    ASSERT_TRUE(FindLangEntry(text, u"MSG", u"MSG_MSG_LOCK", out));
    EXPECT_EQ(plat::StrLenN(out, LANGUAGE_ENTRY_CHARS), 127u);
}

TEST(FactorySettingsFile, ReadsTheSameOnOlderUnits) {
    std::u16string text;
    ASSERT_TRUE(ReadUtf16File(RunDir() + "/" SYS_SETTINGS_INI, text));
    // Every key the settings take, by section.
    const std::pair<const char16_t*, std::vector<const char16_t*>> keys[] = {
        {u"SYSTEM SETTING",
         {u"current application", u"current source", u"audio level", u"current music repeat mode",
          u"current photo speed mode", u"current radio band", u"current AM1 channel",
          u"current AM2 channel", u"current FM1 channel", u"current FM2 channel",
          u"current FM3 channel", u"current media type", u"current music", u"current track id",
          u"current playlist", u"current movie", u"drive", u"mixer check"}},
        {u"DISPLAY SETTING",
         {u"Brightness", u"BrightnessNight", u"BrightnessDay", u"Contrast", u"ContrastNight",
          u"ContrastDay", u"RGB", u"Saturation", u"SaturationNight", u"SaturationDay", u"Backlight",
          u"BacklightNight", u"BacklightDay"}},
        {u"EQ Settings",
         {u"Cur Select", u"Flat", u"Jazz", u"POP", u"Bass", u"Rock", u"Custom 1", u"Custom 2",
          u"Custom 3"}},
        {u"SPEAKER Settings", {u"Cur Select", u"Normal", u"Driver", u"Front", u"Rear"}},
        {u"LOUDNESS Settings", {u"Cur Select"}},
        {u"51 PRIORITY", {u"Cur Select"}},
        {u"LANGUAGE", {u"Cur Select"}},
        {u"POWER MODULE", {u"Delay On", u"Delay Off", u"ACC Hold"}},
        {u"INTERNET SERVICE", {u"Traffic", u"Weather", u"Radio", u"TV", u"Youtube", u"Favorite1"}},
        {u"TEST", {u"Show Cursor", u"Log"}},
    };
    int count = 0;
    for (const auto& [section, names] : keys) {
        for (const char16_t* key : names) {
            bool found = false;
            std::u16string legacy = LegacySysIni(text, section, key, found);
            char16_t out[SYS_PATH_CHARS];
            ASSERT_EQ(ReadSysIni(section, text.c_str(), text.size(), key, out), 0)
                << plat::Utf16ToUtf8(key);
            EXPECT_TRUE(found) << plat::Utf16ToUtf8(key);
            EXPECT_EQ(legacy, std::u16string(out)) << plat::Utf16ToUtf8(key);
            ++count;
        }
    }
    EXPECT_EQ(count, 59);
}

TEST(LanguageFiles, KernelLoadsTheFileOfTheSettingsLanguage) {
    TempDir dir;
    ASSERT_TRUE(plat::MakeDirectory(dir.File("language")));  // any letter case will do
    WriteUtf16(dir.File("language/Japanese.ini"), "[MSG]\r\nMSG_MSG_LOCK = ロック中\r\n", true);
    WriteUtf16(dir.File("language/english.ini"), "[MSG]\r\nMSG_MSG_LOCK = Locked\r\n", false);
    CKernelData data;
    data.SetBaseDir(dir.Path());
    data.m_Settings.iLanguage = 3;
    EXPECT_TRUE(data.LoadLanguage());
    EXPECT_EQ(Entry(data.m_Language, MSG_MSG_LOCK), u"ロック中");
    data.m_Settings.iLanguage = 0;
    EXPECT_TRUE(data.LoadLanguage());
    EXPECT_EQ(Entry(data.m_Language, MSG_MSG_LOCK), u"Locked");
    // A missing file, or a language with no file, empties every text.
    for (int language : {1, 9}) {
        data.m_Settings.iLanguage = language;
        EXPECT_TRUE(data.LoadLanguage());
        EXPECT_EQ(Entry(data.m_Language, MSG_MSG_LOCK), u"");
    }
}

TEST(LanguageFiles, ReadLangEntryReadsTheFileEachTime) {
    TempDir dir;
    const std::string path = dir.File("english.ini");
    char16_t out[LANGUAGE_ENTRY_CHARS];
    ReadLangEntry(u"RADIO", path, u"MSG_RADIO_AS_INFO", out);
    EXPECT_EQ(out[0], 0);
    WriteUtf16(path, "[RADIO]\nMSG_RADIO_AS_INFO = Store?\n", true);
    ReadLangEntry(u"RADIO", path, u"MSG_RADIO_AS_INFO", out);
    EXPECT_EQ(std::u16string(out), u"Store?");
    WriteBytes(path, std::vector<uint8_t>{0xFF, 0xFE, '[', 0});  // cut short
    ReadLangEntry(u"RADIO", path, u"MSG_RADIO_AS_INFO", out);
    EXPECT_EQ(out[0], 0);
}
