#include "image_builder/message_factory.h"

#include <array>
#include <cstdio>
#include <string_view>

#include "image_builder/encoding.h"

namespace ostrel::builder {
namespace {

using Person = std::pair<std::string_view, std::string_view>;  // display name, address

const std::vector<Person> kOwners = {
    {"Martin Keller", "martin.keller@example.org"},
    {"Sabine Vogt", "s.vogt@example.net"},
    {"Peter Lindqvist", "peter.lindqvist@example.com"},
};

const std::vector<Person> kCorrespondents = {
    {"Anna Berg", "anna.berg@example.com"},        {"Thomas Wright", "twright@example.net"},
    {"Claire Dubois", "claire.dubois@example.org"}, {"Jan Novak", "jan.novak@mail.example.com"},
    {"Maria Rossi", "m.rossi@example.net"},         {"Kevin O'Brien", "kobrien@example.com"},
    {"Yuki Tanaka", "tanaka@example.org"},          {"Office", "office@example.com"},
    {"Frank Meyer", "frank.meyer@example.net"},     {"Lena Hoffmann", "lena@example.org"},
    {"Support Team", "support@shop.example.com"},   {"Erik Sandberg", "erik.s@example.net"},
};

const std::vector<std::string> kPlainSubjects = {
    "Meeting on Thursday",     "Quarterly figures",          "Lunch next week",
    "Project timeline",        "Invoice 4711",               "Holiday photos",
    "Weekly status report",    "Printer on the second floor", "New phone numbers",
    "Server maintenance tonight", "Conference registration", "Draft contract",
    "Birthday party",          "Minutes of the board meeting", "Your order has shipped",
    "Train times",             "Flat viewing on Saturday",   "Travel expenses",
    "Newsletter March",        "Question about the offer",
};

// Together these hold all nine characters that file names cannot.
const std::vector<std::string> kInvalidCharSubjects = {
    "Re: Agenda: 10:30 or 11:00?",
    "Invoice 2006/03/117",
    "Files in C:\\Shared\\Reports",
    "\"Urgent\" *please read*",
    "<no title> | draft",
    "Plans: a/b\\c *x* \"y\" <z> | done?",
    "What? Why? Who?",
};

const std::vector<std::string> kUtf8Subjects = {
    "Gr\xC3\xBC\xC3\x9F" "e aus M\xC3\xBCnchen",
    "Caf\xC3\xA9 cr\xC3\xA8me \xC3\xA0 demain",
    "R\xC3\xA9sum\xC3\xA9 f\xC3\xBCr J\xC3\xBCrgen",
    "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB3\xD0\xBB\xD0\xB0\xD1\x88\xD0\xB5\xD0\xBD\xD0\xB8\xD0\xB5",
    "\xE4\xBC\x9A\xE8\xAD\xB0\xE3\x81\xAE\xE4\xBB\xB6",
};

const std::vector<std::string> kLatin1Texts = {
    "Gr\xFC\xDF" "e aus M\xFCnchen",
    "R\xE9union de vendredi",
    "S\xF8ndag i K\xF8" "benhavn",
};

// Free of the word that subject searches look for, so a message without a
// Subject line really has none.
const std::vector<std::string_view> kWords = {
    "the",      "a",        "we",        "you",      "will",     "have",    "please",   "send",
    "meeting",  "office",   "project",   "report",   "numbers",  "budget",  "next",     "week",
    "Monday",   "Friday",   "before",    "after",    "about",    "team",    "customer", "order",
    "delivery", "price",    "contract",  "draft",    "changes",  "attached", "version", "final",
    "call",     "tomorrow", "morning",   "afternoon", "room",    "agenda",  "minutes",  "notes",
    "thanks",   "for",      "your",      "help",     "with",     "this",    "that",     "is",
    "are",      "not",      "yet",       "ready",    "should",   "could",   "be",       "on",
    "in",       "to",       "of",        "and",      "our",      "new",     "server",   "printer",
    "account",  "invoice",  "payment",   "travel",   "hotel",    "flight",  "schedule", "idea",
};

struct AttachmentKind {
    std::string_view name;
    std::string_view type;
};
const std::vector<AttachmentKind> kAttachments = {
    {"report.pdf", "application/pdf"},    {"photo.jpg", "image/jpeg"},
    {"budget.xls", "application/vnd.ms-excel"}, {"notes.doc", "application/msword"},
    {"data.zip", "application/x-zip-compressed"},
};

constexpr std::array<const char*, 7> kWeekdays = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};
constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

constexpr std::string_view kMailer = "Microsoft Outlook Express 6.00.2900.2180";
constexpr std::string_view kMimeOle = "Produced By Microsoft MimeOLE V6.00.2900.2180";
constexpr std::string_view kMultipartPreamble = "This is a multi-part message in MIME format.\r\n";

struct RotationEntry {
    SubjectKind subject;
    BodyKind body;
};
constexpr std::array<RotationEntry, 20> kRotation = {{
    {SubjectKind::Plain, BodyKind::Plain},         {SubjectKind::Reply, BodyKind::Plain},
    {SubjectKind::InvalidChars, BodyKind::Plain},  {SubjectKind::Plain, BodyKind::Alternative},
    {SubjectKind::Duplicate, BodyKind::Plain},     {SubjectKind::Utf8, BodyKind::Plain},
    {SubjectKind::Plain, BodyKind::Attachment},    {SubjectKind::Empty, BodyKind::Plain},
    {SubjectKind::Reply, BodyKind::Alternative},   {SubjectKind::EncodedWord, BodyKind::Plain},
    {SubjectKind::Forward, BodyKind::Attachment},  {SubjectKind::Missing, BodyKind::Plain},
    {SubjectKind::Plain, BodyKind::Plain},         {SubjectKind::InvalidChars, BodyKind::Alternative},
    {SubjectKind::Long, BodyKind::Plain},          {SubjectKind::Duplicate, BodyKind::Attachment},
    {SubjectKind::Reply, BodyKind::Plain},         {SubjectKind::EncodedWord, BodyKind::Alternative},
    {SubjectKind::Plain, BodyKind::Plain},         {SubjectKind::Utf8, BodyKind::Attachment},
}};

std::string Hex(uint64_t value, int digits, bool upper) {
    char text[24];
    std::snprintf(text, sizeof text, upper ? "%0*llX" : "%0*llx", digits,
                  static_cast<unsigned long long>(value));
    return text;
}

std::string Mailbox(const Person& person) {
    return "\"" + std::string(person.first) + "\" <" + std::string(person.second) + ">";
}

std::string_view DomainOf(std::string_view address) { return address.substr(address.find('@') + 1); }

void AddHeader(std::string& out, std::string_view name, std::string_view value) {
    out.append(name).append(": ").append(value).append("\r\n");
}

// Content-Type folded as Outlook Express writes it: parameter on the next
// line after a tab.
void AddContentType(std::string& out, std::string_view type, std::string_view parameter) {
    out.append("Content-Type: ").append(type).append(";\r\n\t").append(parameter).append("\r\n");
}

// Wraps words into lines of at most width columns, each ending in CRLF.
std::string Wrap(const std::vector<std::string>& words, size_t width) {
    std::string out;
    size_t column = 0;
    for (const std::string& word : words) {
        if (column > 0 && column + 1 + word.size() > width) {
            out += "\r\n";
            column = 0;
        }
        if (column > 0) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
    }
    if (column > 0) out += "\r\n";
    return out;
}

}  // namespace

MessageFactory::MessageFactory(uint64_t seed) : random_(seed) {
    // Somewhere in 2005 or 2006, the years of Outlook Express 6 SP2.
    clock_ = 1104537600 + static_cast<int64_t>(random_.Below(2 * 365 * 86400));
    constexpr std::array<int, 4> kZones = {60, 120, 0, -300};
    timezoneMinutes_ = kZones[random_.Below(kZones.size())];
    const Person& owner = random_.Pick(kOwners);
    ownerName_ = owner.first;
    ownerAddress_ = owner.second;
}

MessageKinds MessageFactory::NextKinds(bool sent) {
    const RotationEntry& entry = kRotation[rotation_++ % kRotation.size()];
    return {entry.subject, entry.body, sent, 0};
}

std::string MessageFactory::DateText(int64_t unixTime) const {
    const int64_t local = unixTime + timezoneMinutes_ * 60;
    const int64_t days = local / 86400;
    const int64_t seconds = local % 86400;
    // Civil date from a day count (Howard Hinnant's algorithm).
    const int64_t z = days + 719468;
    const int64_t era = z / 146097;
    const int64_t dayOfEra = z - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t mp = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const int year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
    const int zone = timezoneMinutes_ < 0 ? -timezoneMinutes_ : timezoneMinutes_;
    char text[64];
    std::snprintf(text, sizeof text, "%s, %d %s %d %02d:%02d:%02d %c%02d%02d", kWeekdays[days % 7], day,
                  kMonths[month - 1], year, static_cast<int>(seconds / 3600),
                  static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60),
                  timezoneMinutes_ < 0 ? '-' : '+', zone / 60, zone % 60);
    return text;
}

std::string MessageFactory::MakeSubject(SubjectKind kind) {
    switch (kind) {
        case SubjectKind::Plain: return random_.Pick(kPlainSubjects);
        case SubjectKind::Reply: return "Re: " + random_.Pick(kPlainSubjects);
        case SubjectKind::Forward: return "Fw: " + random_.Pick(kPlainSubjects);
        case SubjectKind::InvalidChars: return random_.Pick(kInvalidCharSubjects);
        case SubjectKind::Duplicate:
            return usedSubjects_.empty() ? kPlainSubjects[6] : random_.Pick(usedSubjects_);
        case SubjectKind::Empty:
        case SubjectKind::Missing: return "";
        case SubjectKind::Utf8: return random_.Pick(kUtf8Subjects);
        case SubjectKind::EncodedWord:
            return random_.Percent(50) ? EncodedWordQ("iso-8859-1", random_.Pick(kLatin1Texts))
                                       : EncodedWordB("utf-8", random_.Pick(kUtf8Subjects));
        case SubjectKind::Long: {
            std::string subject = "Fw: Re:";
            while (subject.size() < 280) subject += " " + std::string(random_.Pick(kWords));
            return subject;
        }
    }
    return "";
}

std::string MessageFactory::MakeBodyText(size_t length, const std::string& signature, const std::string& quote) {
    std::string body;
    while (body.size() < length) {
        std::vector<std::string> words;
        const uint64_t sentences = random_.Between(2, 5);
        for (uint64_t s = 0; s < sentences; ++s) {
            const uint64_t count = random_.Between(5, 16);
            for (uint64_t w = 0; w < count; ++w) {
                std::string word(random_.Pick(kWords));
                if (w == 0 && word[0] >= 'a' && word[0] <= 'z') word[0] = static_cast<char>(word[0] - 'a' + 'A');
                if (w + 1 == count) word += random_.Percent(15) ? "?" : ".";
                words.push_back(std::move(word));
            }
        }
        body += Wrap(words, 72);
        body += "\r\n";
    }
    return body + "Regards,\r\n" + signature + "\r\n" + quote;
}

std::string MessageFactory::Make(const MessageKinds& kinds) {
    clock_ += static_cast<int64_t>(random_.Between(300, 40000));
    const Person& other = random_.Pick(kCorrespondents);
    const Person owner{ownerName_, ownerAddress_};
    const Person& from = kinds.sent ? owner : other;
    const Person& to = kinds.sent ? other : owner;

    const std::string subject = MakeSubject(kinds.subject);
    if (!subject.empty() && kinds.subject != SubjectKind::Duplicate) usedSubjects_.push_back(subject);

    size_t bodyLength = kinds.bodyLength;
    if (bodyLength == 0) {
        const uint64_t roll = random_.Below(100);
        bodyLength = roll < 55   ? random_.Between(200, 1500)
                     : roll < 85 ? random_.Between(1500, 6000)
                                 : random_.Between(6000, 40000);
    }
    std::string quote;
    if (kinds.subject == SubjectKind::Reply) {
        // Outlook Express quotes the original below a header block of its own.
        quote = "\r\n----- Original Message ----- \r\nFrom: " + Mailbox(to) + "\r\nSent: " +
                DateText(clock_ - 86400) + "\r\nSubject: " + subject.substr(4) +
                "\r\n\r\n> Thanks, see you then.\r\n";
    }
    std::string text = MakeBodyText(bodyLength, std::string(from.first.substr(0, from.first.find(' '))), quote);
    const bool utf8 = kinds.subject == SubjectKind::Utf8;
    if (utf8) text = random_.Pick(kUtf8Subjects) + "!\r\n\r\n" + text;
    const std::string charsetName = utf8 ? "utf-8" : "iso-8859-1";
    const std::string charset = "charset=\"" + charsetName + "\"";

    std::string out;
    const std::string date = DateText(clock_);
    if (!kinds.sent) {
        const std::string_view senderHost = DomainOf(from.second);
        AddHeader(out, "Return-Path", "<" + std::string(from.second) + ">");
        AddHeader(out, "Received",
                  "from mail." + std::string(senderHost) + " (mail." + std::string(senderHost) + " [192.0.2." +
                      std::to_string(random_.Between(2, 250)) + "])\r\n\tby mx1." + std::string(DomainOf(to.second)) +
                      " (8.13.6/8.13.6) with ESMTP id k" + Hex(random_.Next(), 12, false) + "\r\n\tfor <" +
                      std::string(to.second) + ">; " + DateText(clock_ + 31));
        AddHeader(out, "Received",
                  "from pc" + std::to_string(random_.Between(1, 99)) + " ([10.0.0." +
                      std::to_string(random_.Between(2, 250)) + "])\r\n\tby mail." + std::string(senderHost) +
                      " with ESMTP; " + DateText(clock_ + 4));
    }
    AddHeader(out, "Message-ID",
              "<" + Hex(random_.Below(0x10000), 8, false) + "$" + Hex(random_.Below(1ull << 32), 8, false) + "$" +
                  Hex(random_.Below(1ull << 32), 8, false) + "@" + std::string(from.first.substr(0, from.first.find(' '))) +
                  ">");
    AddHeader(out, "From", Mailbox(from));
    AddHeader(out, "To", Mailbox(to));
    if (random_.Percent(30)) AddHeader(out, "Cc", Mailbox(random_.Pick(kCorrespondents)));
    if (kinds.subject != SubjectKind::Missing) AddHeader(out, "Subject", subject);
    AddHeader(out, "Date", date);
    AddHeader(out, "MIME-Version", "1.0");

    const std::string boundary = "----=_NextPart_000_" + Hex(random_.Below(0x10000), 4, true) + "_01C6" +
                                 Hex(random_.Below(0x10000), 4, true) + "." + Hex(random_.Below(1ull << 32), 8, true);
    std::string body;
    switch (kinds.body) {
        case BodyKind::Plain:
            AddContentType(out, "text/plain", charset);
            AddHeader(out, "Content-Transfer-Encoding", utf8 ? "8bit" : "7bit");
            body = text;
            break;
        case BodyKind::Alternative: {
            AddContentType(out, "multipart/alternative", "boundary=\"" + boundary + "\"");
            std::string html =
                "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">\r\n<HTML><HEAD>\r\n"
                "<META http-equiv=Content-Type content=\"text/html; charset=" + charsetName + "\">\r\n"
                "<META content=\"MSHTML 6.00.2900.2180\" name=GENERATOR>\r\n<STYLE></STYLE>\r\n"
                "</HEAD>\r\n<BODY bgColor=#ffffff>\r\n";
            size_t start = 0;
            while (start < text.size()) {
                size_t end = text.find("\r\n\r\n", start);
                if (end == std::string::npos) end = text.size();
                std::string paragraph = text.substr(start, end - start);
                for (size_t p = 0; (p = paragraph.find("\r\n", p)) != std::string::npos;) paragraph.replace(p, 2, " ");
                html += "<DIV><FONT face=Arial size=2>" + paragraph + "</FONT></DIV>\r\n"
                        "<DIV><FONT face=Arial size=2></FONT>&nbsp;</DIV>\r\n";
                start = end + 4;
            }
            html += "</BODY></HTML>\r\n";
            body = std::string(kMultipartPreamble) + "\r\n--" + boundary + "\r\n";
            AddContentType(body, "text/plain", charset);
            body += "Content-Transfer-Encoding: quoted-printable\r\n\r\n" + QuotedPrintable(text) + "\r\n--" +
                    boundary + "\r\n";
            AddContentType(body, "text/html", charset);
            body += "Content-Transfer-Encoding: quoted-printable\r\n\r\n" + QuotedPrintable(html) + "\r\n--" +
                    boundary + "--\r\n\r\n";
            break;
        }
        case BodyKind::Attachment: {
            AddContentType(out, "multipart/mixed", "boundary=\"" + boundary + "\"");
            const AttachmentKind& attachment = random_.Pick(kAttachments);
            std::string payload(random_.Between(300, 24000), '\0');
            random_.Fill(reinterpret_cast<uint8_t*>(payload.data()), payload.size());
            body = std::string(kMultipartPreamble) + "\r\n--" + boundary + "\r\n";
            AddContentType(body, "text/plain", charset);
            AddHeader(body, "Content-Transfer-Encoding", utf8 ? "8bit" : "7bit");
            body += "\r\n" + text + "\r\n--" + boundary + "\r\n";
            AddContentType(body, attachment.type, "name=\"" + std::string(attachment.name) + "\"");
            AddHeader(body, "Content-Transfer-Encoding", "base64");
            body += "Content-Disposition: attachment;\r\n\tfilename=\"" + std::string(attachment.name) + "\"\r\n\r\n" +
                    Base64(payload, 76) + "\r\n--" + boundary + "--\r\n\r\n";
            break;
        }
    }
    const bool urgent = random_.Percent(10);
    AddHeader(out, "X-Priority", urgent ? "1" : "3");
    AddHeader(out, "X-MSMail-Priority", urgent ? "High" : "Normal");
    AddHeader(out, "X-Mailer", kMailer);
    AddHeader(out, "X-MimeOLE", kMimeOle);
    out += "\r\n";
    out += body;
    return out;
}

}  // namespace ostrel::builder
