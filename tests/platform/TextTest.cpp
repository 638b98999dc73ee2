#include <gtest/gtest.h>

#include "platform/text/Text.h"

using namespace plat;

TEST(Text, Utf8RoundTripKeepsEveryPlane) {
    const std::string s = "abc \xC3\xA9 \xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x8E\xB5";  // é 中文 🎵
    std::u16string w = Utf8ToUtf16(s);
    EXPECT_EQ(w, u"abc \u00e9 \u4e2d\u6587 \U0001F3B5");
    EXPECT_EQ(Utf16ToUtf8(w), s);
}

TEST(Text, BadSequencesBecomeReplacementWithoutLosingTheRest) {
    EXPECT_EQ(Utf8ToUtf16("a\xFFz"), u"a\uFFFDz");
    EXPECT_EQ(Utf8ToUtf16("a\xE4\xB8"), u"a\uFFFD");      // cut sequence at the end
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD");        // overlong slash
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80x"), u"\uFFFDx");  // encoded surrogate
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, 0xD800) + u"x"), "\xEF\xBF\xBDx");
}

TEST(Text, CopyIsBoundedAndTerminated) {
    char16_t buf[4] = {1, 1, 1, 1};
    EXPECT_FALSE(StrCopy(buf, u"abcdef"));
    EXPECT_EQ(std::u16string(buf), u"abc");
    EXPECT_TRUE(StrCopy(buf, u"ab"));
    EXPECT_EQ(std::u16string(buf), u"ab");
    EXPECT_FALSE(StrCat(buf, u"xyz"));
    EXPECT_EQ(std::u16string(buf), u"abx");
    // Copying a text onto itself or a part of itself is safe.
    char16_t self[8] = u"hello";
    StrCopy(self, std::u16string_view(self + 2));
    EXPECT_EQ(std::u16string(self), u"llo");
}

TEST(Text, SearchAndCompare) {
    const char16_t* s = u"Rock & Roll";
    EXPECT_EQ(StrStr(s, u"Roll"), s + 7);
    EXPECT_EQ(StrStr(s, u"roll"), nullptr);
    EXPECT_EQ(StrChr(s, u'&'), s + 5);
    EXPECT_EQ(StrRChr(s, u'o'), s + 8);
    EXPECT_EQ(StrCmpNoCase(u"SKIN", u"skin"), 0);
    EXPECT_LT(StrCmpNoCase(u"ab", u"abc"), 0);
    EXPECT_GT(StrCmp(u"b", u"a"), 0);
}

TEST(Text, StrToIntLikeAtoi) {
    EXPECT_EQ(StrToInt(u"  -42abc"), -42);
    EXPECT_EQ(StrToInt(u"+7"), 7);
    EXPECT_EQ(StrToInt(u"x1"), 0);
    EXPECT_EQ(StrToInt(u"99999999999999"), 2147483647);
    EXPECT_EQ(StrToInt(u"-99999999999999"), -2147483647 - 1);
}

TEST(Text, FormatMixesWideAndNarrowArguments) {
    char16_t buf[64];
    Format(buf, u"%s\\Skin\\%s\\%hs %d|%04X|%-3c|%5.1f%%", u"/base", u"Default", "utf8 \xC3\xA9",
           -7, 0xBEEFu, u'Z', 2.25);
    EXPECT_EQ(std::u16string(buf), u"/base\\Skin\\Default\\utf8 \u00e9 -7|BEEF|Z  |  2.2%");
    EXPECT_EQ(FormatStr(u"%02d:%02d:%02d", 1, 2, 3), u"01:02:03");
    EXPECT_EQ(FormatStr(u"[%5s][%-5s][%.2s]", u"ab", u"ab", u"abcdef"), u"[   ab][ab   ][ab]");
    EXPECT_EQ(FormatStr(u"%lld %lu %I64d", -5LL, 6UL, 7LL), u"-5 6 7");
    EXPECT_EQ(FormatStr(u"%s", static_cast<const char16_t*>(nullptr)), u"(null)");
}

TEST(Text, FormatIsBoundedAndTerminated) {
    char16_t buf[6];
    int n = Format(buf, u"%s-%d", u"abcdef", 12345);
    EXPECT_EQ(n, 5);
    EXPECT_EQ(std::u16string(buf), u"abcde");
    char16_t one[1] = {7};
    EXPECT_EQ(Format(one, u"abc"), 0);
    EXPECT_EQ(one[0], 0);
}
