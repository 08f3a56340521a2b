// Generated messages must look like what Outlook Express stored, and be
// well-formed enough that a recovered copy can be judged byte for byte.
#include "image_builder/message_factory.h"

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <set>
#include <string>

#include "chain_reader.h"
#include "image_builder/encoding.h"
#include "image_builder/manifest.h"

namespace ostrel::builder {
namespace {

using testing::OnlyCrlfLineEnds;

struct Parts {
    std::string header;  // up to and including the CRLF of the last header line
    std::string body;
};

Parts Split(const std::string& text) {
    const size_t end = text.find("\r\n\r\n");
    if (end == std::string::npos) return {text, ""};
    return {text.substr(0, end + 2), text.substr(end + 4)};
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

// Header fields in order, folded lines joined, as (name, value).
std::vector<std::pair<std::string, std::string>> Fields(const std::string& header) {
    std::vector<std::pair<std::string, std::string>> fields;
    for (const std::string& line : Lines(header)) {
        if (!line.empty() && (line[0] == '\t' || line[0] == ' ')) {
            fields.back().second += " " + line.substr(1);
            continue;
        }
        const size_t colon = line.find(':');
        fields.emplace_back(line.substr(0, colon), colon + 2 <= line.size() ? line.substr(colon + 2) : "");
    }
    return fields;
}

std::string Field(const std::string& header, const std::string& name) {
    for (const auto& [fieldName, value] : Fields(header)) {
        if (fieldName == name) return value;
    }
    return "(absent)";
}

std::string SubjectValue(const std::string& text) {
    const auto line = SubjectLine(text);
    return line ? line->substr(9) : "(absent)";
}

std::string DecodeBase64(const std::string& text) {
    static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    uint32_t bits = 0;
    int count = 0;
    for (char c : text) {
        if (c == '=') break;
        bits = (bits << 6) | static_cast<uint32_t>(alphabet.find(c));
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xff);
        }
    }
    return out;
}

bool IsUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<uint8_t>(text[i]);
        const size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
        if (length == 0 || i + length > text.size()) return false;
        for (size_t k = 1; k < length; ++k) {
            if ((static_cast<uint8_t>(text[i + k]) >> 6) != 2) return false;
        }
        i += length;
    }
    return true;
}

bool HasHighByte(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<uint8_t>(c) >= 0x80; });
}

TEST(MessageFactory, SameSeedGivesTheSameTextsAndAnotherSeedOthers) {
    MessageFactory a(42), b(42), c(43);
    for (int i = 0; i < 40; ++i) {
        const std::string text = a.Next(i % 3 == 0);
        EXPECT_EQ(text, b.Next(i % 3 == 0)) << "message " << i;
        EXPECT_NE(text, c.Next(i % 3 == 0)) << "message " << i;
    }
}

TEST(MessageFactory, EveryKindComesUpWithinAnyTwentyMessages) {
    MessageFactory factory(1);
    std::vector<MessageKinds> kinds;
    for (int i = 0; i < 60; ++i) kinds.push_back(factory.NextKinds());
    for (size_t start = 0; start + 20 <= kinds.size(); ++start) {
        std::set<SubjectKind> subjects;
        std::set<BodyKind> bodies;
        for (size_t i = start; i < start + 20; ++i) {
            subjects.insert(kinds[i].subject);
            bodies.insert(kinds[i].body);
        }
        EXPECT_EQ(subjects.size(), 10u) << "window at " << start;
        EXPECT_EQ(bodies.size(), 3u) << "window at " << start;
    }
}

TEST(MessageHeaders, CarryTheFieldsOutlookExpressWroteInItsOrder) {
    MessageFactory factory(5);
    std::set<std::string> owners;
    for (int i = 0; i < 60; ++i) {
        const bool sent = i % 2 == 1;
        const std::string text = factory.Next(sent);
        const auto fields = Fields(Split(text).header);
        std::vector<std::string> names;
        for (const auto& field : fields) names.push_back(field.first);
        std::vector<std::string> expected;
        if (!sent) expected = {"Return-Path", "Received", "Received"};
        for (const char* name : {"Message-ID", "From", "To", "Cc", "Subject", "Date", "MIME-Version", "Content-Type",
                                 "Content-Transfer-Encoding", "X-Priority", "X-MSMail-Priority", "X-Mailer",
                                 "X-MimeOLE"}) {
            if (std::count(names.begin(), names.end(), name) > 0) expected.push_back(name);
        }
        EXPECT_EQ(names, expected) << text.substr(0, 600);
        for (const char* required : {"Message-ID", "From", "To", "Date", "Content-Type", "X-Mailer"}) {
            EXPECT_EQ(std::count(names.begin(), names.end(), required), 1) << required;
        }
        const std::string header = Split(text).header;
        EXPECT_EQ(Field(header, "MIME-Version"), "1.0");
        EXPECT_EQ(Field(header, "X-Mailer"), "Microsoft Outlook Express 6.00.2900.2180");
        EXPECT_EQ(Field(header, "X-MimeOLE"), "Produced By Microsoft MimeOLE V6.00.2900.2180");
        EXPECT_TRUE(std::regex_match(Field(header, "Message-ID"), std::regex("<[0-9a-f]{8}\\$[0-9a-f]{8}\\$[0-9a-f]{8}@\\w+>")));
        owners.insert(Field(header, sent ? "From" : "To"));
        if (!sent) {
            EXPECT_EQ(Field(header, "Return-Path"), "<" + Field(header, "From").substr(Field(header, "From").find('<') + 1));
        }
    }
    EXPECT_EQ(owners.size(), 1u) << "one mailbox owner receives and sends";
}

TEST(MessageHeaders, DatesAreRealCalendarDatesThatAdvance) {
    using namespace std::chrono;
    const std::regex pattern(
        "(Mon|Tue|Wed|Thu|Fri|Sat|Sun), (\\d{1,2}) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) (\\d{4}) "
        "(\\d\\d):(\\d\\d):(\\d\\d) ([+-])(\\d\\d)(\\d\\d)");
    const std::string weekdays = "SunMonTueWedThuFriSat";
    const std::string months = "JanFebMarAprMayJunJulAugSepOctNovDec";
    MessageFactory factory(9);
    seconds previous{0};
    for (int i = 0; i < 80; ++i) {
        const std::string date = Field(Split(factory.Next()).header, "Date");
        std::smatch m;
        ASSERT_TRUE(std::regex_match(date, m, pattern)) << date;
        const year_month_day day{year{std::stoi(m[4])}, month{static_cast<unsigned>(months.find(m[3]) / 3 + 1)},
                                 std::chrono::day{static_cast<unsigned>(std::stoi(m[2]))}};
        ASSERT_TRUE(day.ok()) << date;
        EXPECT_EQ(weekday{sys_days{day}}.c_encoding(), weekdays.find(m[1]) / 3) << date;
        const int zone = (m[8] == "-" ? -1 : 1) * (std::stoi(m[9]) * 60 + std::stoi(m[10]));
        const seconds utc = sys_days{day}.time_since_epoch() + hours{std::stoi(m[5])} + minutes{std::stoi(m[6])} +
                            seconds{std::stoi(m[7])} - minutes{zone};
        EXPECT_GT(utc, previous) << date;
        previous = utc;
    }
}

TEST(MessageText, EveryLineEndsInCrlf) {
    MessageFactory factory(11);
    for (int i = 0; i < 200; ++i) {
        const std::string text = factory.Next(i % 4 == 0);
        ASSERT_TRUE(OnlyCrlfLineEnds(text)) << "message " << i;
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    }
}

TEST(MessageText, BodiesRangeFromAFewHundredBytesToTensOfKilobytes) {
    MessageFactory factory(12);
    size_t shortest = SIZE_MAX, longest = 0;
    for (int i = 0; i < 120; ++i) {
        const size_t body = Split(factory.Make({SubjectKind::Plain, BodyKind::Plain, false, 0})).body.size();
        shortest = std::min(shortest, body);
        longest = std::max(longest, body);
    }
    EXPECT_LT(shortest, 1000u);
    EXPECT_GE(shortest, 200u);
    EXPECT_GT(longest, 10000u);
    EXPECT_GE(Split(factory.Make({SubjectKind::Plain, BodyKind::Plain, false, 30000})).body.size(), 30000u);
}

// Checks one multipart message: its boundary delimits every part, base64
// lines are 76 characters (the last one shorter) and quoted-printable lines
// at most 76.
void ExpectWellFormedMultipart(const std::string& text, const std::string& type, size_t parts) {
    const Parts message = Split(text);
    const std::string contentType = Field(message.header, "Content-Type");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(contentType, m, std::regex(type + "; boundary=\"(.+)\""))) << contentType;
    const std::string boundary = m[1];
    const std::vector<std::string> lines = Lines(message.body);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "--" + boundary), static_cast<long>(parts));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "--" + boundary + "--"), 1);
    EXPECT_EQ(lines.front(), "This is a multi-part message in MIME format.");

    size_t start = message.body.find("--" + boundary + "\r\n");
    while (start != std::string::npos) {
        start += boundary.size() + 4;
        const size_t end = message.body.find("\r\n--" + boundary, start);
        ASSERT_NE(end, std::string::npos);
        const Parts part = Split(message.body.substr(start, end - start));
        const std::string encoding = Field(part.header, "Content-Transfer-Encoding");
        EXPECT_NE(Field(part.header, "Content-Type"), "(absent)");
        const std::vector<std::string> body = Lines(part.body);
        if (encoding == "base64") {
            EXPECT_NE(Field(part.header, "Content-Disposition").find("attachment; filename=\""), std::string::npos);
            ASSERT_FALSE(body.empty());
            std::string joined;
            for (size_t i = 0; i < body.size(); ++i) {
                if (body[i].empty()) {
                    EXPECT_EQ(i + 1, body.size()) << "only a trailing empty line";
                    continue;
                }
                if (i + 1 < body.size() && !body[i + 1].empty()) {
                    EXPECT_EQ(body[i].size(), 76u);
                }
                EXPECT_LE(body[i].size(), 76u);
                EXPECT_TRUE(std::regex_match(body[i], std::regex("[A-Za-z0-9+/]+=*"))) << body[i];
                joined += body[i];
            }
            EXPECT_EQ(joined.size() % 4, 0u);
            EXPECT_GE(DecodeBase64(joined).size(), 300u);
        } else if (encoding == "quoted-printable") {
            for (const std::string& line : body) {
                EXPECT_LE(line.size(), 76u) << line;
                EXPECT_TRUE(std::regex_match(line, std::regex("([!-<>-~ \\t]|=[0-9A-F]{2})*=?"))) << line;
            }
        }
        start = message.body.find("--" + boundary + "\r\n", end);
    }
}

TEST(MimeStructure, MultipartMessagesHaveTheirBoundariesAndEncodings) {
    MessageFactory factory(13);
    for (int i = 0; i < 12; ++i) {
        SCOPED_TRACE(i);
        const SubjectKind subject = i % 2 ? SubjectKind::Utf8 : SubjectKind::Plain;
        ExpectWellFormedMultipart(factory.Make({subject, BodyKind::Alternative, i % 3 == 0, 0}),
                                  "multipart/alternative", 2);
        ExpectWellFormedMultipart(factory.Make({subject, BodyKind::Attachment, i % 3 == 0, 0}), "multipart/mixed", 2);
    }
    const std::string plain = factory.Make({SubjectKind::Plain, BodyKind::Plain, false, 0});
    EXPECT_EQ(Field(Split(plain).header, "Content-Type"), "text/plain; charset=\"iso-8859-1\"");
    EXPECT_EQ(Field(Split(plain).header, "Content-Transfer-Encoding"), "7bit");
}

TEST(Subjects, CoverTheCasesThatNamingMustHandle) {
    MessageFactory factory(14);
    auto make = [&](SubjectKind kind) { return factory.Make({kind, BodyKind::Plain, false, 300}); };

    std::set<char> invalid;
    for (int i = 0; i < 40; ++i) {
        const std::string subject = SubjectValue(make(SubjectKind::InvalidChars));
        EXPECT_NE(subject.find_first_of("\\/:*?\"<>|"), std::string::npos) << subject;
        for (char c : subject) {
            if (std::string("\\/:*?\"<>|").find(c) != std::string::npos) invalid.insert(c);
        }
    }
    EXPECT_EQ(invalid.size(), 9u) << "all nine characters that file names cannot hold";

    MessageFactory fresh(15);
    auto makeFresh = [&](SubjectKind kind) { return SubjectValue(fresh.Make({kind, BodyKind::Plain, false, 300})); };
    const std::string earlier = makeFresh(SubjectKind::Plain);
    EXPECT_EQ(makeFresh(SubjectKind::Duplicate), earlier) << "the only earlier subject is repeated";
    const std::set<std::string> seen = {earlier, makeFresh(SubjectKind::Reply)};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(seen.count(makeFresh(SubjectKind::Duplicate)), 1u);

    EXPECT_EQ(SubjectLine(make(SubjectKind::Empty)), "Subject: ");
    const std::string missing = make(SubjectKind::Missing);
    EXPECT_FALSE(SubjectLine(missing).has_value());
    std::string lower = missing;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(lower.find("subject"), std::string::npos) << "nothing a subject search could find";

    for (int i = 0; i < 10; ++i) {
        const std::string utf8 = SubjectValue(make(SubjectKind::Utf8));
        EXPECT_TRUE(HasHighByte(utf8) && IsUtf8(utf8)) << utf8;

        const std::string encoded = SubjectValue(make(SubjectKind::EncodedWord));
        std::smatch m;
        ASSERT_TRUE(std::regex_match(encoded, m, std::regex("=\\?(iso-8859-1|utf-8)\\?([QB])\\?([^? ]+)\\?="))) << encoded;
        EXPECT_EQ(m[1] == "utf-8", m[2] == "B") << encoded;
        if (m[2] == "B") {
            EXPECT_TRUE(HasHighByte(DecodeBase64(m[3])) && IsUtf8(DecodeBase64(m[3]))) << encoded;
        } else {
            EXPECT_TRUE(std::regex_search(std::string(m[3]), std::regex("=[89A-F][0-9A-F]"))) << encoded;
        }
    }
    EXPECT_GT(SubjectValue(make(SubjectKind::Long)).size(), 245u);
}

TEST(Encodings, MatchTheirDefinitions) {
    EXPECT_EQ(Base64("Man", 0), "TWFu");
    EXPECT_EQ(Base64("Ma", 0), "TWE=");
    EXPECT_EQ(Base64("M", 0), "TQ==");
    EXPECT_EQ(Base64(std::string("\xff\xfe\x00", 3), 0), "//4A");
    EXPECT_EQ(Base64(std::string(57, 'a'), 76).size(), 78u) << "57 bytes fill exactly one 76-character line";
    EXPECT_EQ(Base64(std::string(58, 'a'), 76), Base64(std::string(57, 'a'), 76) + "YQ==\r\n");

    EXPECT_EQ(QuotedPrintable("a=b\r\ntrailing \r\nend\t"), "a=3Db\r\ntrailing=20\r\nend=09");
    EXPECT_EQ(QuotedPrintable("caf\xE9"), "caf=E9");
    const std::string wrapped = QuotedPrintable(std::string(200, 'x'));
    EXPECT_EQ(wrapped, std::string(75, 'x') + "=\r\n" + std::string(75, 'x') + "=\r\n" + std::string(50, 'x'));

    EXPECT_EQ(EncodedWordQ("iso-8859-1", "Gr\xFC\xDF" "e aus"), "=?iso-8859-1?Q?Gr=FC=DFe_aus?=");
    EXPECT_EQ(EncodedWordB("utf-8", "Man"), "=?utf-8?B?TWFu?=");
}

}  // namespace
}  // namespace ostrel::builder
