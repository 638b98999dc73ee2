#include <gtest/gtest.h>

#include "platform/io/Binary.h"

using namespace plat;

TEST(Binary, LittleEndianFieldsAtTheirOffsets) {
    BinWriter w;
    w.U8(0x01);
    w.U16(0x0302);
    w.U32(0x07060504);
    w.I32(-2);
    w.U64(0x0F0E0D0C0B0A0908ull);
    const std::vector<uint8_t> want = {1,    2, 3, 4,  5,  6,  7,  0xFE, 0xFF, 0xFF,
                                       0xFF, 8, 9, 10, 11, 12, 13, 14,   15};
    EXPECT_EQ(w.Data(), want);
    BinReader r(w.Data());
    EXPECT_EQ(r.U8(), 1);
    EXPECT_EQ(r.U16(), 0x0302);
    EXPECT_EQ(r.U32(), 0x07060504u);
    EXPECT_EQ(r.I32(), -2);
    EXPECT_EQ(r.U64(), 0x0F0E0D0C0B0A0908ull);
    EXPECT_TRUE(r.Ok());
    EXPECT_TRUE(r.AtEnd());
}

TEST(Binary, FixedUtf16FieldsArePaddedAndTerminated) {
    BinWriter w;
    w.Str16(u"abc", 5);
    w.Str16(u"toolong", 4);  // cut, last unit always 0
    ASSERT_EQ(w.Size(), 18u);
    BinReader r(w.Data());
    char16_t a[5], b[4];
    r.Str16(a, 5);
    r.Str16(b, 4);
    EXPECT_EQ(std::u16string(a), u"abc");
    EXPECT_EQ(std::u16string(b), u"too");
}

TEST(Binary, ReadingPastTheEndGivesZerosAndNotOk) {
    const uint8_t bytes[3] = {1, 2, 3};
    BinReader r(bytes, 3);
    EXPECT_EQ(r.U16(), 0x0201);
    EXPECT_EQ(r.U32(), 0u);
    EXPECT_FALSE(r.Ok());
    // A stored string with no terminator is still terminated in memory.
    const uint8_t text[4] = {'x', 0, 'y', 0};
    BinReader t(text, 4);
    char16_t s[2];
    t.Str16(s, 2);
    EXPECT_EQ(s[0], u'x');
    EXPECT_EQ(s[1], 0);
}
