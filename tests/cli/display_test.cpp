// Message text on a terminal and in a spreadsheet.
#include "display.h"

#include <gtest/gtest.h>

#include <sstream>

#include "csv.h"

namespace varrow::cli {
namespace {

struct Shown {
    std::string text;
    std::string escaped;
};

TEST(EscapeControls, WritesEveryControlCharacterAsItsCode) {
    const std::vector<Shown> cases = {
        {"plain subject", "plain subject"},
        {"tab\tkept", "tab\tkept"},
        {"\x1b[2J\x1b]0;owned\x07", "\\x1b[2J\\x1b]0;owned\\x07"},
        {"cr\rlf\nnul", "cr\\x0dlf\\x0anul"},
        {"del\x7f", "del\\x7f"},
        {"csi \xc2\x9b"
         "31m",
         "csi \\xc2\\x9b31m"},  // U+009B, a one-character ESC [
        {"\xc3\xa9t\xc3\xa9 \xe2\x82\xac", "\xc3\xa9t\xc3\xa9 \xe2\x82\xac"},  // letters stay
        {"back\\slash", "back\\slash"},
        {"lone \xc2", "lone \xc2"},
    };
    for (const Shown& shown : cases)
        EXPECT_EQ(EscapeControls(shown.text), shown.escaped) << shown.text;
}

TEST(SpreadsheetSafe, DisarmsCellsThatWouldBeFormulas) {
    EXPECT_EQ(SpreadsheetSafe("=HYPERLINK(\"http://x\",\"y\")"), "'=HYPERLINK(\"http://x\",\"y\")");
    EXPECT_EQ(SpreadsheetSafe("+1"), "'+1");
    EXPECT_EQ(SpreadsheetSafe("-2+3"), "'-2+3");
    EXPECT_EQ(SpreadsheetSafe("@SUM(A1)"), "'@SUM(A1)");
    EXPECT_EQ(SpreadsheetSafe("\t=1"), "'\t=1");
    EXPECT_EQ(SpreadsheetSafe("Re: =1"), "Re: =1");
    EXPECT_EQ(SpreadsheetSafe(""), "");
    EXPECT_EQ(SpreadsheetSafe("42"), "42");
}

TEST(CsvWriter, WritesSafeQuotedRows) {
    std::ostringstream out;
    CsvWriter writer(out);
    writer.Row({"1", "=cmd|' /C calc'!A0"});
    writer.Row({"2", "a, \"b\""});
    EXPECT_EQ(out.str(), "1,'=cmd|' /C calc'!A0\r\n2,\"a, \"\"b\"\"\"\r\n");
    EXPECT_TRUE(writer.Good());
}

}  // namespace
}  // namespace varrow::cli
