// A text file read for editing and written back: the lines the user left alone keep their
// bytes and line ends wherever they end up.
#include <gtest/gtest.h>

#include "platform/TextFile.h"

using Lines = std::vector<std::string>;

TEST(TextFile, LinesAreShownAsUtf8AndGivenBackUnchangedAsTheyWere) {
    const std::string bytes = "caf\xE9\r\nplain\nna\xEFve\r\xC3\xA9t\xC3\xA9";
    const TextFile file(bytes, "\n");
    EXPECT_EQ(file.ShownLines(), (Lines{"caf\xC3\xA9", "plain", "na\xC3\xAFve", "\xC3\xA9t\xC3\xA9"}));
    EXPECT_EQ(file.Bytes(file.ShownLines()), bytes);
    EXPECT_EQ(file.LineEnd(), "\r\n");  // the first one found
}

TEST(TextFile, EditsAnywhereLeaveTheOtherLinesByteForByte) {
    const TextFile file("a=\xE9\nb=\xE8\nc=\xE0\nb=\xE8\n", "\r\n");
    // A line inserted at the top, the second moved to the end, one copy of a repeated line gone.
    EXPECT_EQ(file.Bytes({"new", "a=\xC3\xA9", "c=\xC3\xA0", "b=\xC3\xA8"}), "new\na=\xE9\nc=\xE0\nb=\xE8\n");
    // A line shown twice but stored once is written once as stored, then as typed.
    EXPECT_EQ(file.Bytes({"c=\xC3\xA0", "c=\xC3\xA0"}), "c=\xE0\nc=\xC3\xA0\n");
    EXPECT_EQ(file.Bytes({}), "");
}

TEST(TextFile, TheEndOfTheFileStaysAsItWas) {
    const TextFile open("x\ny", "\n");  // no line end after the last line
    EXPECT_EQ(open.Bytes({"x", "y", "z"}), "x\ny\nz");
    EXPECT_EQ(open.Bytes({"x"}), "x");
    const TextFile closed("x\r", "\n");
    EXPECT_EQ(closed.Bytes({"x", "y"}), "x\ry\r");
    const TextFile empty("", "\r\n");  // a new file takes the line end asked for
    EXPECT_EQ(empty.Bytes({"Action", "Puzzle"}), "Action\r\nPuzzle\r\n");
}
