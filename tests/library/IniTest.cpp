#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "library/CVantrel.h"
#include "tests/support/TestSupport.h"

using testsupport::TempDir;
using testsupport::WriteUtf16;

namespace {

class Ini : public ::testing::Test {
protected:
    void SetUp() override { m_root = CreateIVantrel(); }
    void TearDown() override { m_root->Release(); }

    // Writes `text` (UTF-8 here, UTF-16LE on disk) and looks one key up.
    RZRESULT Get(const std::string& text, const char16_t* section, const char16_t* key,
                 std::u16string* value, bool bom = false) {
        WriteUtf16(m_dir.File("skin.ini"), text, bom);
        char16_t out[256];
        out[0] = u'#';
        RZRESULT rc =
            m_root->GetIniString(m_dir.File16("skin.ini").c_str(), section, key, out, 256);
        *value = out;
        return rc;
    }

    TempDir m_dir;
    IVantrel* m_root = nullptr;
};

}  // namespace

TEST_F(Ini, SectionsKeysAndMissingThings) {
    const std::string text = "[A]\r\nx = 1\r\n[B]\r\nx = 2\r\n";
    std::u16string v;
    EXPECT_EQ(Get(text, u"B", u"x", &v), RZ_OK);
    EXPECT_EQ(v, u"2");
    EXPECT_EQ(Get(text, u"A", u"x", &v), RZ_OK);
    EXPECT_EQ(v, u"1");
    EXPECT_EQ(Get(text, u"Z", u"x", &v), RZ_FAIL);
    EXPECT_EQ(v, u"");
    EXPECT_EQ(Get(text, u"A", u"y", &v), RZ_OK);
    EXPECT_EQ(v, u"");
    EXPECT_EQ(Get(text, u"a", u"x", &v), RZ_FAIL);  // sections are case-sensitive
    EXPECT_EQ(Get("[A]\r\nX = 1\r\n", u"A", u"x", &v), RZ_OK);
    EXPECT_EQ(v, u"");  // and so are keys
}

TEST_F(Ini, ValueTrimmingAndComments) {
    std::u16string v;
    EXPECT_EQ(Get("[M]\r\n  x=  5  ; the five\r\n", u"M", u"x", &v), RZ_OK);
    EXPECT_EQ(v, u"5");
    Get("[M]\r\nx == 5\r\n", u"M", u"x", &v);
    EXPECT_EQ(v, u"5");
    Get("[M]\r\nx =\t5\r\n", u"M", u"x", &v);
    EXPECT_EQ(v, u"\t5");  // tabs after "=" stay
    Get("[M]\r\nName Title = Play, 10, 20 ;c\r\n", u"M", u"Name Title", &v);
    EXPECT_EQ(v, u"Play, 10, 20");
    Get("[M]\r\nkey = a ; note\r\n", u"M", u"key", &v);
    EXPECT_EQ(v, u"a");
    Get("[M]\r\n; x = 1\r\n\r\n\t\r\nx = 2\r\n", u"M", u"x", &v);
    EXPECT_EQ(v, u"2");
    Get("[M]\r\nx = 1\r\nx = 2\r\n", u"M", u"x", &v);
    EXPECT_EQ(v, u"1");  // the first row wins
}

TEST_F(Ini, DialectQuirksSkinFilesRelyOn) {
    std::u16string v;
    // A last line without a line end is not read.
    Get("[M]\r\nx = 1\r\ny = 2", u"M", u"y", &v);
    EXPECT_EQ(v, u"");
    // A row holding "[" ends the section, even inside a value.
    Get("[M]\r\na = [1]\r\nb = 2\r\n", u"M", u"b", &v);
    EXPECT_EQ(v, u"");
    // Files with bare line feeds lose the first character of each following line.
    Get("[M]\nxa=1\nyb=2\n", u"M", u"a", &v);
    EXPECT_EQ(v, u"1");
    Get("[M]\nxa=1\nyb=2\n", u"M", u"b", &v);
    EXPECT_EQ(v, u"2");
    // The header is found as plain text: the first occurrence wins, even in a comment.
    Get("; see [M]\r\nx = 1\r\n[M]\r\nx = 2\r\n", u"M", u"x", &v);
    EXPECT_EQ(v, u"1");
    // A byte-order mark is harmless.
    EXPECT_EQ(Get("[M]\r\nx = 7\r\n", u"M", u"x", &v, true), RZ_OK);
    EXPECT_EQ(v, u"7");
}

TEST_F(Ini, LongSectionsAreReadWholeAndNeverEndTheProgram) {
    std::string text = "[Big]\r\n";
    for (int i = 0; i < 700; ++i)
        text += "k" + std::to_string(i) + " = " + std::to_string(i) + "\r\n";
    std::u16string v;
    EXPECT_EQ(Get(text, u"Big", u"k509", &v), RZ_OK);
    EXPECT_EQ(v, u"509");
    EXPECT_EQ(Get(text, u"Big", u"k699", &v), RZ_OK);
    EXPECT_EQ(v, u"699");
}

TEST_F(Ini, UnicodeValuesAndCutToTheBuffer) {
    WriteUtf16(m_dir.File("lang.ini"), "[Text]\r\nMSG_HELLO = \xE4\xBD\xA0\xE5\xA5\xBD, world\r\n");
    char16_t out[4];
    EXPECT_EQ(m_root->GetIniString(m_dir.File16("lang.ini").c_str(), u"Text", u"MSG_HELLO", out, 4),
              RZ_OK);
    EXPECT_EQ(std::u16string(out), u"\u4f60\u597d,");
    char16_t big[64];
    m_root->GetIniString(m_dir.File16("lang.ini").c_str(), u"Text", u"MSG_HELLO", big, 64);
    EXPECT_EQ(std::u16string(big), u"\u4f60\u597d, world");
}

TEST_F(Ini, BadArgumentsAndUnreadableFiles) {
    char16_t out[8] = u"keep";
    EXPECT_EQ(m_root->GetIniString(nullptr, u"A", u"x", out, 8), RZ_FAIL);
    EXPECT_EQ(m_root->GetIniString(u"f", u"A", u"x", out, 0), RZ_FAIL);
    EXPECT_EQ(std::u16string(out), u"keep");  // refused arguments touch nothing
    EXPECT_EQ(m_root->GetIniString(m_dir.File16("missing.ini").c_str(), u"A", u"x", out, 8),
              RZ_FAIL);
    EXPECT_EQ(out[0], 0);
}

TEST_F(Ini, ReadOnlyFilesReadWithoutChangingTheirMode) {
    std::string path = m_dir.File("ro.ini");
    WriteUtf16(path, "[A]\r\nx = 3\r\n");
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    char16_t out[8];
    EXPECT_EQ(m_root->GetIniString(m_dir.File16("ro.ini").c_str(), u"A", u"x", out, 8), RZ_OK);
    EXPECT_EQ(std::u16string(out), u"3");
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
}

TEST_F(Ini, PathsAreMatchedWithoutRegardToCase) {
    WriteUtf16(m_dir.File("Music.ini"), "[Main]\r\nx = 4\r\n");
    char16_t out[8];
    std::u16string path = m_dir.File16("") + u"MUSIC.INI";
    EXPECT_EQ(m_root->GetIniString(path.c_str(), u"Main", u"x", out, 8), RZ_OK);
    EXPECT_EQ(std::u16string(out), u"4");
    // Either spelling reads the file anew once it is written over.
    WriteUtf16(m_dir.File("Music.ini"), "[Main]\r\nx = 55\r\n");
    EXPECT_EQ(m_root->GetIniString(path.c_str(), u"Main", u"x", out, 8), RZ_OK);
    EXPECT_EQ(std::u16string(out), u"55");
    EXPECT_EQ(m_root->GetIniString(m_dir.File16("Music.ini").c_str(), u"Main", u"x", out, 8),
              RZ_OK);
    EXPECT_EQ(std::u16string(out), u"55");
    ASSERT_EQ(::mkdir(m_dir.File("Skin").c_str(), 0755), 0);
    WriteUtf16(m_dir.File("Skin/Home.ini"), "[Main]\r\nx = 6\r\n");
    std::u16string nested = m_dir.File16("") + u"SKIN\\home.INI";
    EXPECT_EQ(m_root->GetIniString(nested.c_str(), u"Main", u"x", out, 8), RZ_OK);
    EXPECT_EQ(std::u16string(out), u"6");
    // What has the exact name is what the path names, even when it is no file.
    ASSERT_EQ(::mkdir(m_dir.File("Skin/home.INI").c_str(), 0755), 0);
    EXPECT_EQ(m_root->GetIniString(nested.c_str(), u"Main", u"x", out, 8), RZ_FAIL);
}

TEST_F(Ini, FieldInt) {
    int v = 99;
    EXPECT_EQ(m_root->GetFieldInt(u"10, 20, 30", 2, &v), RZ_OK);
    EXPECT_EQ(v, 20);
    EXPECT_EQ(m_root->GetFieldInt(u"10, 20, 30", 3, &v), RZ_OK);
    EXPECT_EQ(v, 30);
    EXPECT_EQ(m_root->GetFieldInt(u"10, 20, 30", 4, &v), RZ_FAIL);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(m_root->GetFieldInt(u"10, 20, 30", 0, &v), RZ_NONE);
    EXPECT_EQ(m_root->GetFieldInt(u"10,20", 1, &v), RZ_OK);
    EXPECT_EQ(v, 10);  // no blank after the comma: one field, read up to the comma
    EXPECT_EQ(m_root->GetFieldInt(u"", 1, &v), RZ_NONE);
    EXPECT_EQ(m_root->GetFieldInt(nullptr, 1, &v), RZ_NONE);
    EXPECT_EQ(m_root->GetFieldInt(u" -5, abc", 1, &v), RZ_OK);
    EXPECT_EQ(v, -5);
    EXPECT_EQ(m_root->GetFieldInt(u" -5, abc", 2, &v), RZ_OK);
    EXPECT_EQ(v, 0);
}

TEST_F(Ini, FieldString) {
    char16_t out[16];
    EXPECT_EQ(m_root->GetFieldString(u"Play, 10, 20", 1, out, 16), RZ_OK);
    EXPECT_EQ(std::u16string(out), u"Play");
    EXPECT_EQ(m_root->GetFieldString(u"Play, 10, 20", 3, out, 16), RZ_OK);
    EXPECT_EQ(std::u16string(out), u"20");
    EXPECT_EQ(m_root->GetFieldString(u"Play, 10, 20", 4, out, 16), RZ_FAIL);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(m_root->GetFieldString(u"", 1, out, 16), RZ_OK);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(m_root->GetFieldString(u"", 2, out, 16), RZ_FAIL);
    out[0] = u'#';
    EXPECT_EQ(m_root->GetFieldString(u"a, b", 0, out, 16), RZ_NONE);
    EXPECT_EQ(out[0], u'#');  // untouched
    char16_t small[4];
    EXPECT_EQ(m_root->GetFieldString(u"Rock & Roll, 1", 1, small, 4), RZ_OK);
    EXPECT_EQ(std::u16string(small), u"Roc");
}
