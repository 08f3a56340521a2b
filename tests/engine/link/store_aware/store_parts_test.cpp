// What the MIME structure and the character kinds of a message say about
// its text going on across a cluster boundary.
#include "link/store_aware/store_parts.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "link/store_aware/store_text_grams.h"
#include "text_join_cases.h"

namespace varrow {
namespace {

const std::string kBase64Line =
    "QUJDREVGR0hJSktMTU5PUFFSU1RVVldYWVphYmNkZWZnaGlqa2xtbm9wcXJzdHV2d3h5ejAxMjM0\r\n";

// Text on either side of a boundary, and what a test of it should answer.
template <typename Answer>
struct BoundaryCase {
    const char* what;
    std::string before, after;
    Answer expected;
};

TEST(StoreParts, APartsBodyGoesOnInItsOwnEncoding) {
    const std::string base64Part =
        "------=_Part_1\r\nContent-Type: application/pdf;\r\n\tname=\"a.pdf\"\r\n"
        "Content-Transfer-Encoding: base64\r\n\r\n";
    const std::string textPart =
        "------=_Part_1\r\nContent-Type: text/plain;\r\n\tcharset=\"iso-8859-1\"\r\n"
        "Content-Transfer-Encoding: quoted-printable\r\n\r\nSome words of the text ";
    const std::vector<JoinCase> cases = {
        {"base64 going on in base64", base64Part + "QUJD", "REVG\r\n" + kBase64Line,
         TextJoin::kTextSaysNothing},
        {"base64 going on in prose", base64Part + "QUJD", " invoice? Call send\r\n",
         TextJoin::kTextBreaks},
        {"base64 whose whole line after is prose", base64Part + kBase64Line, "Dear Anna,\r\n",
         TextJoin::kTextBreaks},
        {"base64 ending in its delimiter", base64Part + "QUJD", "RA==\r\n------=_Part_1--\r\n",
         TextJoin::kTextSaysNothing},
        {"base64 ending in an empty line, then text", base64Part + "QUJD",
         "RA==\r\n\r\nSome text, after the body.\r\n", TextJoin::kTextSaysNothing},
        {"a delimiter cut by the boundary", base64Part + kBase64Line + "------=_Pa", "rt_1--\r\n",
         TextJoin::kTextSaysNothing},
        {"the start of a delimiter after a whole line", base64Part + kBase64Line, "--",
         TextJoin::kTextSaysNothing},
        {"text going on in text", textPart, "and more words\r\nof the part.\r\n",
         TextJoin::kTextSaysNothing},
        {"text going on in base64 lines", textPart, "OKcEf\r\n" + kBase64Line,
         TextJoin::kTextBreaks},
        {"text, then a base64 part after its delimiter", textPart,
         "end.\r\n------=_Part_1\r\n\r\n" + kBase64Line, TextJoin::kTextSaysNothing},
        {"text with a short token line", textPart, "x\r\nQUJDREVGR0hJSktM\r\n",
         TextJoin::kTextSaysNothing},
        {"a part header cut by the boundary",
         "------=_Part_1\r\nContent-Transfer-Encoding: base64\r\nContent-Dis",
         "position: attachment\r\n", TextJoin::kTextSaysNothing},
        {"no part header before", "Just some words before the boundary ", "and " + kBase64Line,
         TextJoin::kTextSaysNothing},
        {"a hash in hex on its own line", textPart,
         "x\r\n0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef\r\n",
         TextJoin::kTextSaysNothing},
        {"no part header before, nor lines of words", "QUJD\r\nREVG\r\nR0hJ",
         "and\r\n" + kBase64Line, TextJoin::kTextSaysNothing},
        {"lines of words going on in base64 lines", "Some words here\r\nand more words\r\nthe ",
         "end\r\n" + kBase64Line, TextJoin::kTextBreaks},
        {"lines of words, an empty line, then base64",
         "Subject: a b\r\nFrom: A B <a@x>\r\nContent-Transfer-Enc",
         "oding: base64\r\n\r\n" + kBase64Line, TextJoin::kTextSaysNothing},
        {"one line of words is too little to tell", "QUJD\r\nsome words\r\nthe ",
         "end\r\n" + kBase64Line, TextJoin::kTextSaysNothing},
        {"a delimiter after the header ends its part",
         base64Part + kBase64Line + "------=_Part_1\r\n\r\nText ", "goes on here\r\n",
         TextJoin::kTextSaysNothing},
        // A boundary right after a line end cuts no line.
        {"text ending at the boundary, base64 right after", textPart + "end.\r\n",
         kBase64Line + "QUJD", TextJoin::kTextBreaks},
    };
    ExpectJoins(JoinPartEncoding, cases);
}

TEST(StoreParts, AHeaderNamesAFieldOnce) {
    const std::string header =
        "Message-ID: <1@x>\r\nFrom: \"Sabine\" <s@x.net>\r\nTo: <a@x.org>\r\n"
        "Content-Transfer-Encoding: 7bit\r\nX-Priority: 3\r\nX-MimeOLE: Produced";
    const std::vector<JoinCase> cases = {
        {"the header going on in new fields", header,
         " By MimeOLE\r\nX-Mailer: OE\r\nSubject: hi\r\n\r\nText\r\n", TextJoin::kTextSaysNothing},
        {"the header going on in another's fields", header,
         "\"iso-8859-1\"\r\nContent-Transfer-Encoding: 7bit\r\nX-Priority: 3\r\n",
         TextJoin::kTextBreaks},
        {"case ignored", header, "x\r\nFROM: <b@y>\r\n", TextJoin::kTextBreaks},
        {"fields that may repeat", "Received: by a\r\nReceived: by b\r\nTo: <a@x>\r\nDate: Mo",
         "n\r\nReceived: by c\r\n", TextJoin::kTextSaysNothing},
        {"a field after the header ended", header, "x\r\n\r\nTo: someone, in the text\r\n",
         TextJoin::kTextSaysNothing},
        {"a part header after a delimiter",
         header + "\r\n\r\n------=_P\r\nContent-Type: text/plain;\r\n\tcharset=\"x\"\r\n"
                  "Content-Disposition: inline\r\nContent-Transfer-Enc",
         "oding: base64\r\nFrom: <b@y>\r\n", TextJoin::kTextSaysNothing},
        {"prose before", "Some prose\r\nmore prose here\r\nand he", "re\r\nTo: <a@x>\r\n",
         TextJoin::kTextSaysNothing},
        {"the cut line itself does not count", header, " From: <b@y>\r\nX-Mailer: OE\r\n",
         TextJoin::kTextSaysNothing},
        {"no whole line after", header, "d By", TextJoin::kTextSaysNothing},
        // A boundary right after a line end cuts no line.
        {"a field named again right after the boundary", header + " By MimeOLE\r\n",
         "From: <b@y>\r\n", TextJoin::kTextBreaks},
        {"the header ends right after the boundary", header + " By MimeOLE\r\n",
         "\r\nFrom: <b@y>, in the text\r\n", TextJoin::kTextSaysNothing},
    };
    ExpectJoins(JoinHeaderFields, cases);
}

TEST(StoreTextGrams, CountsRunsOfCharacterKindsTheMessageHasNowhereElse) {
    const std::string prose =
        "Could you send the notes? The report is late.\r\nPlease call me on Monday.\r\n"
        "Is that fine?\r\nThanks for the draft, Anna. ";
    const std::vector<BoundaryCase<size_t>> cases = {
        {"a sentence going on after a space", prose + "See", " you then.\r\n", 0},
        {"a letter right after a question mark", prose + "Is it ready?", "week new\r\n", 2},
        {"a space right before a line end", prose + "Account ", "\r\n\r\nCall me\r\n", 2},
        {"a line end right after a question mark", prose + "Is it ready?", "\r\n\r\nCall me\r\n",
         0},
        {"kinds, not letters: any lower-case letter", prose + "Zebr", "a xylophone\r\n", 0},
        {"base64 has every kind everywhere", kBase64Line + "QUJD", "REVGR0hJ\r\n" + kBase64Line, 0},
        {"too little on one side", "a", "bcd", 0},
        // Wherever a run occurs: at the very start of before, just before
        // the boundary, at the end of after.
        {"a run seen only at the start of before", "?ab, then 1 and 2. Ready?", "we go\r\n", 1},
        {"a run seen only near the boundary", "Then 1 and 2. x?b Ready?", "we go\r\n", 1},
        {"a run seen only at the end of after", "Then 1 and 2. Ready?", "we go ?ab", 1},
        {"both runs seen, far apart", "a?b and 1 and 2. Ready?", "we go ?ab", 0},
    };
    for (const BoundaryCase<size_t>& c : cases)
        EXPECT_EQ(UnseenBoundaryGrams(Bytes(c.before), Bytes(c.after)), c.expected) << c.what;
}

// The runs are looked for in two ways (where a byte of their own is, or in
// a pass over every byte): both against a plain count, on short random
// texts that hold every kind and miss many runs.
TEST(StoreTextGrams, CountsRunsLikeAPlainCount) {
    const auto kind = [](uint8_t byte) -> uint8_t {
        if ((byte >= 'a' && byte <= 'z') || byte >= 0x80) return 'a';
        if (byte >= 'A' && byte <= 'Z') return 'A';
        if (byte >= '0' && byte <= '9') return '0';
        return byte;
    };
    const auto plain = [&](const std::string& before, const std::string& after) {
        if (before.size() < 2 || after.size() < 2) return size_t{0};
        const std::string cut = before.substr(before.size() - 2) + after.substr(0, 2);
        size_t unseen = 0;
        for (size_t at = 0; at < 2; ++at) {
            bool seen = false;
            for (const std::string* side : {&before, &after}) {
                for (size_t i = 0; i + 3 <= side->size(); ++i) {
                    bool same = true;
                    for (size_t k = 0; k < 3; ++k) {
                        same = same && kind(static_cast<uint8_t>((*side)[i + k])) ==
                                           kind(static_cast<uint8_t>(cut[at + k]));
                    }
                    seen = seen || same;
                }
            }
            unseen += seen ? 0 : 1;
        }
        return unseen;
    };
    const std::string alphabet = "abZY09 ?.,\r\n-\x80\xff";
    std::mt19937 random(21);
    const auto text = [&](size_t length) {
        std::string t;
        for (size_t i = 0; i < length; ++i) t += alphabet[random() % alphabet.size()];
        return t;
    };
    for (int round = 0; round < 4000; ++round) {
        const std::string before = text(random() % 24);
        const std::string after = text(random() % 12);
        EXPECT_EQ(UnseenBoundaryGrams(Bytes(before), Bytes(after)), plain(before, after))
            << "before \"" << before << "\", after \"" << after << "\"";
    }
}

TEST(StoreParts, TextThatStartsBreakingSoftlyIsLikelierAnotherMessages) {
    const std::string prose =
        "Regards,\r\n\r\nOn ready notes are project is send. Ready have changes yet delivery\r\n"
        "draft of attached new travel this after of is.\r";
    const std::string soft =
        "\n contract payment meeting is not send. Your with contract not your =\r\n"
        "changes on ready we payment in invoice Monday hotel have. Flight with offic=\r\n"
        "e room.\r\n";
    const std::vector<BoundaryCase<bool>> cases = {
        {"hard lines going on in soft breaks", prose, soft, true},
        {"the same where the boundary cuts no line", prose + "\n", soft.substr(1), true},
        {"one soft break is too little to tell", prose,
         "\nchanges on ready we payment=\r\nroom.\r\n", false},
        {"soft breaks before as well", "Flight with offic=\r\ne room will invoice be agenda=\r\nx",
         soft, false},
        {"lines longer than quoted-printable allows", prose,
         "\n" + std::string(80, 'a') + "=\r\n" + std::string(80, 'b') + "=\r\n", false},
        {"soft breaks only after the paragraph ends", prose, "\n\r\n" + soft.substr(1), false},
        {"no whole line before", "draft of attached new travel this after of is.\r", soft, false},
        // An HTML body breaks softly once its lines grow long, after the
        // short lines of its head.
        {"a part declared quoted-printable",
         "Content-Type: text/html;\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
         "<HTML><HEAD>\r\n<STYLE></STYLE>\r\n</HEAD>\r\n<BODY bgColor=3D#fffff",
         "f>\r\n<DIV><FONT face=3DArial size=3D2>We changes before Monday schedule could th=\r\n"
         "is hotel delivery hotel invoice order this. Schedule we your hotel this del=\r\n",
         false},
        {"a part declared 8bit", "Content-Transfer-Encoding: 8bit\r\n\r\n" + prose, soft, true},
    };
    for (const BoundaryCase<bool>& c : cases) {
        EXPECT_EQ(SoftBreaksBegin(Bytes(c.before), Bytes(c.after)), c.expected) << c.what;
    }
}

}  // namespace
}  // namespace varrow
