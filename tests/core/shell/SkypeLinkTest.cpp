// Lines of the Skype link: however the bytes arrive, lines come out whole, too long ones are
// dropped whole, and only well-formed attach and reply lines mean anything.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/shell/SkypeLink.h"

namespace {

std::vector<std::string> Drain(CSkypeLineReader& reader) {
    std::vector<std::string> out;
    std::string line;
    while (reader.Next(line))
        out.push_back(line);
    return out;
}

}  // namespace

TEST(SkypeLineReader, LinesComeOutWholeHoweverTheBytesArrive) {
    const std::string stream = "REPLY a b\r\nATTACH 0\n\nREPLY c\rd\nREPLY tail";
    const std::vector<std::string> expected = {"REPLY a b", "ATTACH 0", "", "REPLY c\rd"};
    for (size_t piece : {size_t(1), size_t(2), size_t(3), size_t(7), stream.size()}) {
        CSkypeLineReader reader;
        std::vector<std::string> lines;
        for (size_t at = 0; at < stream.size(); at += piece) {
            reader.Feed(stream.data() + at, std::min(piece, stream.size() - at));
            for (std::string& l : Drain(reader))
                lines.push_back(l);
        }
        // The last line has no line feed yet: it waits.
        EXPECT_EQ(lines, expected) << "pieces of " << piece;
        reader.Feed("\n", 1);
        EXPECT_EQ(Drain(reader), std::vector<std::string>{"REPLY tail"});
    }
}

TEST(SkypeLineReader, TooLongLinesAreDroppedWholeAndTheNextOnesKept) {
    CSkypeLineReader reader(10);
    reader.Feed("0123456789\n", 11);  // exactly the limit: kept
    reader.Feed("0123456789A", 11);   // one over, before its line feed comes
    reader.Feed("BCDEF", 5);
    reader.Feed("\nshort\n", 7);
    reader.Feed(std::string(100, 'x').data(), 100);
    reader.Feed("\nlast\n", 6);
    EXPECT_EQ(Drain(reader), (std::vector<std::string>{"0123456789", "short", "last"}));
    EXPECT_EQ(reader.Dropped(), 2u);
}

TEST(SkypeLine, OnlyWellFormedAttachAndReplyLinesMeanAnything) {
    SkypeLine l = ParseSkypeLine("ATTACH 0");
    EXPECT_EQ(l.kind, SkypeLineKind::Attach);
    EXPECT_EQ(l.status, 0u);
    l = ParseSkypeLine("ATTACH 32769");
    EXPECT_EQ(l.kind, SkypeLineKind::Attach);
    EXPECT_EQ(l.status, 0x8001u);
    l = ParseSkypeLine("ATTACH  0x8001 ");
    EXPECT_EQ(l.kind, SkypeLineKind::Attach);
    EXPECT_EQ(l.status, 0x8001u);
    l = ParseSkypeLine("ATTACH 4294967295");
    EXPECT_EQ(l.kind, SkypeLineKind::Attach);
    EXPECT_EQ(l.status, 4294967295u);

    for (const char* bad :
         {"ATTACH", "ATTACH ", "ATTACH -1", "ATTACH 4294967296", "ATTACH 0x", "ATTACH 1 2",
          "ATTACH 12a", "ATTACH1", "attach 0", "REPLYX a", "", "DISCOVER", " REPLY a"})
        EXPECT_EQ(ParseSkypeLine(bad).kind, SkypeLineKind::Unknown) << bad;

    l = ParseSkypeLine("REPLY CALL 17 STATUS RINGING");
    EXPECT_EQ(l.kind, SkypeLineKind::Reply);
    EXPECT_EQ(l.text, "CALL 17 STATUS RINGING");
    l = ParseSkypeLine("REPLY   two  blanks ");
    EXPECT_EQ(l.text, "  two  blanks ");
    l = ParseSkypeLine("REPLY");
    EXPECT_EQ(l.kind, SkypeLineKind::Reply);
    EXPECT_EQ(l.text, "");
    l = ParseSkypeLine(std::string("REPLY a\0b", 9));
    EXPECT_EQ(l.text, std::string("a\0b", 3));
}
