// Subjects and senders as Outlook Express and its correspondents wrote
// them: encoded words in many character sets, raw 8-bit text, folded and
// malformed fields; and the header fields and dates they come from.
#include "output/header_text.h"

#include <gtest/gtest.h>

#include "output/header_fields.h"
#include "output/mail_date.h"
#include "output/message_headers.h"
#include "output/naming.h"
#include "platform/os.h"
#include "system_facts.h"

namespace varrow {
namespace {

struct Decoded {
    const char* name;
    std::string raw;
    std::string text;
};

void PrintTo(const Decoded& decoded, std::ostream* out) { *out << decoded.name; }

class HeaderText : public ::testing::TestWithParam<Decoded> {};

TEST_P(HeaderText, DecodesAsAPersonReadsIt) {
    const std::string& raw = GetParam().raw;
    const std::string decoded = DecodeHeaderText(raw);
    // A set that the system cannot convert at all is no case of decoding.
    if (decoded == raw && GetParam().text != raw && raw.compare(0, 2, "=?") == 0) {
        const std::string charset = raw.substr(2, raw.find_first_of("?*", 2) - 2);
        std::string converted;
        if (!platform::SystemOs().ConvertToUtf8(charset, "a", &converted)) {
            GTEST_SKIP() << "this system converts no " << charset << " (Wine has no ISO-2022-JP code page)";
        }
    }
    EXPECT_EQ(decoded, GetParam().text);
    EXPECT_TRUE(IsValidUtf8(decoded));
}

INSTANTIATE_TEST_SUITE_P(
    Charsets, HeaderText,
    ::testing::Values(
        Decoded{"latin1 q", "=?iso-8859-1?Q?Gr=FC=DFe_aus_M=FCnchen?=",
                "Gr\xc3\xbc\xc3\x9f"
                "e aus M\xc3\xbcnchen"},
        Decoded{"latin1 q upper", "=?ISO-8859-1?q?S=F8ndag_i_K=F8benhavn?=",
                "S\xc3\xb8ndag i K\xc3\xb8"
                "benhavn"},
        Decoded{"latin2 b", "=?iso-8859-2?B?WmG/87PmIGfqtmyxIGphvPE=?=",
                "Za\xc5\xbc\xc3\xb3\xc5\x82\xc4\x87 g\xc4\x99\xc5\x9bl\xc4\x85 ja\xc5\xba\xc5\x84"},
        Decoded{"latin9 euro", "=?iso-8859-15?B?UHJpeDogMjAgpA==?=", "Prix: 20 \xe2\x82\xac"},
        Decoded{
            "windows-1250", "=?windows-1250?B?UPjtbGmaIJ5sdZ1vdehr/SBr+fI=?=",
            "P\xc5\x99\xc3\xadli\xc5\xa1 \xc5\xbelu\xc5\xa5ou\xc4\x8dk\xc3\xbd k\xc5\xaf\xc5\x88"},
        Decoded{"windows-1251", "=?windows-1251?B?z/Do4uXyLCDs6PA=?=",
                "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82, \xd0\xbc\xd0\xb8\xd1\x80"},
        Decoded{"koi8-r", "=?koi8-r?B?89/F29ggxd2jINzUycg=?=",
                "\xd0\xa1\xd1\x8a\xd0\xb5\xd1\x88\xd1\x8c \xd0\xb5\xd1\x89\xd1\x91 "
                "\xd1\x8d\xd1\x82\xd0\xb8\xd1\x85"},
        Decoded{"gb2312", "=?gb2312?B?1tDOxNPKvP7W98zi?=",
                "\xe4\xb8\xad\xe6\x96\x87\xe9\x82\xae\xe4\xbb\xb6\xe4\xb8\xbb\xe9\xa2\x98"},
        Decoded{"big5", "=?big5?B?wWPF6aSkpOWlRKau?=",
                "\xe7\xb9\x81\xe9\xab\x94\xe4\xb8\xad\xe6\x96\x87\xe4\xb8\xbb\xe6\x97\xa8"},
        Decoded{"shift_jis", "=?shift_jis?B?k/qWe4zqgsyMj5a8?=",
                "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e\xe3\x81\xae\xe4\xbb\xb6\xe5\x90\x8d"},
        Decoded{
            "iso-2022-jp", "=?iso-2022-jp?B?GyRCMnE1RCROJCpDTiRpJDsbKEI=?=",
            "\xe4\xbc\x9a\xe8\xad\xb0\xe3\x81\xae\xe3\x81\x8a\xe7\x9f\xa5\xe3\x82\x89\xe3\x81\x9b"},
        Decoded{"euc-kr", "=?euc-kr?B?vsiz58fPvLy/5A==?=",
                "\xec\x95\x88\xeb\x85\x95\xed\x95\x98\xec\x84\xb8\xec\x9a\x94"},
        Decoded{"ks_c_5601-1987 (Outlook's name for it)", "=?ks_c_5601-1987?B?vsiz58fPvLy/5A==?=",
                "\xec\x95\x88\xeb\x85\x95\xed\x95\x98\xec\x84\xb8\xec\x9a\x94"},
        Decoded{"utf-8 b", "=?utf-8?B?R3LDvMOfZSDwn5iAIOaXpeacrA==?=",
                "Gr\xc3\xbc\xc3\x9f"
                "e \xf0\x9f\x98\x80 \xe6\x97\xa5\xe6\x9c\xac"},
        Decoded{"utf-8 q", "=?utf-8?Q?Caf=C3=A9_cr=C3=A8me?=", "Caf\xc3\xa9 cr\xc3\xa8me"},
        Decoded{"language suffix", "=?utf-8*de?Q?Gr=C3=BC=C3=9Fe?=",
                "Gr\xc3\xbc\xc3\x9f"
                "e"},
        Decoded{"no padding", "=?utf-8?B?w6k?=", "\xc3\xa9"}),
    [](const ::testing::TestParamInfo<Decoded>& info) { return std::to_string(info.index); });

INSTANTIATE_TEST_SUITE_P(
    Layout, HeaderText,
    ::testing::Values(
        Decoded{"plain", "Re: meeting", "Re: meeting"},
        Decoded{"text around a word", "Re: =?utf-8?Q?Caf=C3=A9?= tomorrow",
                "Re: Caf\xc3\xa9 tomorrow"},
        Decoded{"adjacent words lose the space between", "=?utf-8?Q?a?= =?utf-8?Q?b?=", "ab"},
        Decoded{"folded words", "=?utf-8?Q?a?=\r\n\t=?iso-8859-1?Q?=E9?=", "a\xc3\xa9"},
        Decoded{"a character split between two words", "=?utf-8?B?5pel5g==?= =?utf-8?B?nKzoqp4=?=",
                "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e"},
        Decoded{"space between a word and text stays", "=?utf-8?Q?a?= b", "a b"},
        Decoded{"underscore in q is a space", "=?us-ascii?Q?one_two?=", "one two"}),
    [](const ::testing::TestParamInfo<Decoded>& info) { return std::to_string(info.index); });

INSTANTIATE_TEST_SUITE_P(
    EightBitAndMalformed, HeaderText,
    ::testing::Values(
        Decoded{"raw windows-1252",
                "Gr\xfc\xdf"
                "e \x80 5",
                "Gr\xc3\xbc\xc3\x9f"
                "e \xe2\x82\xac 5"},
        Decoded{"raw utf-8 stays",
                "Gr\xc3\xbc\xc3\x9f"
                "e",
                "Gr\xc3\xbc\xc3\x9f"
                "e"},
        Decoded{"unassigned windows-1252 bytes", "a\x81z", "a\xc2\x81z"},
        Decoded{"unknown charset stays", "=?x-klingon?Q?qapla=27?=", "=?x-klingon?Q?qapla=27?="},
        Decoded{"bad base64 stays", "=?utf-8?B?@@@@?=", "=?utf-8?B?@@@@?="},
        Decoded{"bad q escape stays", "=?utf-8?Q?=ZZ?=", "=?utf-8?Q?=ZZ?="},
        Decoded{"unknown encoding stays", "=?utf-8?X?abc?=", "=?utf-8?X?abc?="},
        Decoded{"unterminated stays", "=?utf-8?Q?abc", "=?utf-8?Q?abc"},
        Decoded{"space inside stays", "=?utf-8?Q?a b?=", "=?utf-8?Q?a b?="},
        Decoded{"bytes invalid in their set stay", "=?utf-8?Q?=FF=FE?=", "=?utf-8?Q?=FF=FE?="},
        Decoded{"empty charset stays", "=??Q?a?=", "=??Q?a?="},
        Decoded{"decoded slashes are text",
                "=?utf-8?Q?..=2F..=2Fetc=2Fpasswd?=", "../../etc/passwd"},
        Decoded{"decoded controls are text", "=?utf-8?Q?a=1Bb=07?=",
                "a\x1b"
                "b\x07"}),
    [](const ::testing::TestParamInfo<Decoded>& info) { return std::to_string(info.index); });

TEST(CutUtf8, NeverSplitsACharacter) {
    const std::string euro = "\xe2\x82\xac";
    EXPECT_EQ(CutUtf8("ab" + euro, 4), "ab");
    EXPECT_EQ(CutUtf8("ab" + euro, 5), "ab" + euro);
    EXPECT_EQ(CutUtf8("abc", 2), "ab");
    EXPECT_EQ(CutUtf8("a\xff\xfe", 2), "a\xff");  // not UTF-8: cut where asked
}

TEST(HeaderFields, FindTheFieldInTheHeaderSectionOnly) {
    auto find = [](const std::string& text, const char* name) {
        return FindHeaderField(reinterpret_cast<const uint8_t*>(text.data()), text.size(), name,
                               100);
    };
    EXPECT_EQ(find("From: a\r\nsubject: hello\r\nSubject: second\r\n\r\nbody", "Subject"), "hello");
    EXPECT_EQ(find("X-Subject-Info: no\r\nSubject:  spaced  \r\n\r\n", "Subject"), "spaced");
    EXPECT_EQ(find("Subject: folded\r\n  on two\r\n\tlines\r\nTo: x\r\n\r\n", "Subject"),
              "folded  on two\tlines");
    EXPECT_EQ(find("Subject : obsolete form\n\n", "Subject"), "obsolete form");
    EXPECT_EQ(find("To: x\r\n\r\nSubject: in the body\r\n", "Subject"), std::nullopt);
    EXPECT_EQ(find("To: x\r\n", "Subject"), std::nullopt);
    EXPECT_EQ(find("Subject:\r\n\r\n", "Subject"), "");
    EXPECT_EQ(find("Subject: " + std::string(300, 'x') + "\r\n", "Subject"), std::string(100, 'x'));
}

TEST(MessageHeaders, ReadSubjectSenderAndDate) {
    const std::string text =
        "Received: from relay\r\n"
        "From: =?iso-8859-1?Q?J=F6rg_M=FCller?= <joerg@example.de>\r\n"
        "Subject: =?iso-8859-1?Q?Gr=FC=DFe?=\r\n"
        "Date: Thu, 5 Mar 2004 14:22:10 +0100\r\n\r\nbody";
    const MessageHeaders headers =
        ReadMessageHeaders(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    EXPECT_EQ(headers.subject,
              "Gr\xc3\xbc\xc3\x9f"
              "e");
    EXPECT_EQ(headers.from, "J\xc3\xb6rg M\xc3\xbcller <joerg@example.de>");
    EXPECT_EQ(headers.date, 1078492930);
    EXPECT_EQ(ReadableSubject(headers, "ignored", 4),
              "Gr\xc3\xbc\xc3\x9f"
              "e");
    // Without a Subject: field the line that holds "subject" is decoded.
    EXPECT_EQ(ReadableSubject(MessageHeaders{}, "=?utf-8?Q?=C3=A9t=C3=A9?=", 4),
              "\xc3\xa9t\xc3\xa9");
    EXPECT_EQ(ReadableSubject(MessageHeaders{std::string("  "), "", std::nullopt}, "x", 4),
              "Message 4");
    // At most 4096 bytes of whole characters.
    std::string longSubject = "x";
    while (longSubject.size() < 5000) longSubject += "\xe2\x82\xac";
    EXPECT_EQ(ReadableSubject(MessageHeaders{longSubject, "", std::nullopt}, "", 1),
              longSubject.substr(0, 4096));
}

TEST(ReadableTitles, TurnControlCharactersIntoUnderscores) {
    EXPECT_EQ(FileTitleOf("a\x1b[2Jb\x07\x7f"
                          "c",
                          TitleStyle::Readable),
              "a_[2Jb__c");
    EXPECT_EQ(FileTitleOf("csi \xc2\x9b"
                          "x",
                          TitleStyle::Readable),
              "csi _x");
    // In the system's own names: UTF-8 on POSIX, the ANSI code page (1252
    // here) on Windows.
    EXPECT_EQ(FileTitleOf("Gr\xc3\xbc\xc3\x9f"
                          "e/\xe2\x82\xac",
                          TitleStyle::Readable),
              testing::kWindowsNames ? "Gr\xfc\xdf"
                                       "e_\x80"
                                     : "Gr\xc3\xbc\xc3\x9f"
                                       "e_\xe2\x82\xac");
    EXPECT_EQ(FileTitleOf(".hidden", TitleStyle::Readable), "_hidden");
    EXPECT_EQ(FileTitleOf("tab\there"), "tab\there");  // as it stands, controls are left
}

struct Dated {
    const char* text;
    std::optional<int64_t> seconds;
};

TEST(MailDates, ReadTheFormsRealMailUses) {
    const std::vector<Dated> cases = {
        {"Thu, 5 Mar 2004 14:22:10 +0100", 1078492930},
        {"Thu, 05 Mar 2004 13:22:10 GMT", 1078492930},
        {"5 Mar 2004 13:22:10 UT", 1078492930},
        {"Thu, 5 Mar 04 08:22:10 EST", 1078492930},
        {"Thu, 5 Mar 04 05:22:10 PST", 1078492930},
        {"Thu, 5 Mar 2004 09:22:10 EDT", 1078492930},
        {"Thu, 5 Mar 2004 13:22 +0000", 1078492920},
        {"Thu,  5 Mar 2004 14:22:10 +0100 (CET)", 1078492930},
        {"thu, 5 mar 2004 13:22:10 z", 1078492930},
        {"Thu, 5 Mar 2004 13:22:10 CET", 1078492930},
        {"Thu, 5 Mar 2004 13:22:10", 1078492930},
        {"Sun, 1 Jan 95 00:00:00 -0800", 788947200},
        {"1 Jan 1970 00:00:00 +0000", 0},
        {"Mon, 29 Feb 2016 23:59:60 +0000", 1456790400},
        {"Wed, 31 Dec 1969 23:59:59 +0000", -1},
        {"Tue, 30 Feb 2004 10:00:00 +0000", std::nullopt},
        {"yesterday", std::nullopt},
        {"Thu, 5 Mar 2004", std::nullopt},
        {"Thu, 5 Mar 2004 25:00:00 +0000", std::nullopt},
        {"", std::nullopt},
    };
    for (const Dated& dated : cases)
        EXPECT_EQ(ParseMailDate(dated.text), dated.seconds) << dated.text;
}

}  // namespace
}  // namespace varrow
