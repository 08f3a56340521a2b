#include "output/mail_date.h"

#include <cctype>
#include <string_view>
#include <vector>

namespace varrow {

namespace {

// The text without comments "( ... )", which may nest, as words: runs of
// letters, digits, signs and colons; commas and white space separate them.
std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    int depth = 0;
    auto flush = [&] {
        if (!word.empty()) words.push_back(word);
        word.clear();
    };
    for (const char c : text) {
        if (c == '(') {
            flush();
            ++depth;
        } else if (c == ')') {
            if (depth > 0) --depth;
        } else if (depth > 0) {
            continue;
        } else if (c == ' ' || c == '\t' || c == ',' || c == '\r' || c == '\n') {
            flush();
        } else if ((c == '+' || c == '-') && !word.empty()) {
            // "10:00:00+0100": the zone follows the time without a space.
            flush();
            word += c;
        } else {
            word += c;
        }
    }
    flush();
    return words;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool AllDigits(std::string_view text) {
    if (text.empty()) return false;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

int MonthOf(const std::string& word) {
    static const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                          "jul", "aug", "sep", "oct", "nov", "dec"};
    const std::string lower = Lower(word);
    if (lower.size() < 3) return 0;
    for (int i = 0; i < 12; ++i) {
        if (lower.compare(0, 3, kMonths[i]) == 0) return i + 1;
    }
    return 0;
}

bool IsWeekday(const std::string& word) {
    static const char* const kDays[] = {"mon", "tue", "wed", "thu", "fri", "sat", "sun"};
    const std::string lower = Lower(word);
    if (lower.size() < 3) return false;
    for (const char* day : kDays) {
        if (lower.compare(0, 3, day) == 0) return true;
    }
    return false;
}

// The zone's offset east of UTC in minutes.
std::optional<int> ZoneOf(const std::string& word) {
    if ((word[0] == '+' || word[0] == '-') && word.size() == 5 && AllDigits(word.substr(1))) {
        const int hours = std::stoi(word.substr(1, 2));
        const int minutes = std::stoi(word.substr(3, 2));
        if (minutes > 59) return std::nullopt;
        const int offset = hours * 60 + minutes;
        return word[0] == '-' ? -offset : offset;
    }
    const std::string zone = Lower(word);
    struct Named {
        const char* name;
        int offset;
    };
    static const Named kZones[] = {{"ut", 0},        {"utc", 0},       {"gmt", 0},
                                   {"z", 0},         {"est", -5 * 60}, {"edt", -4 * 60},
                                   {"cst", -6 * 60}, {"cdt", -5 * 60}, {"mst", -7 * 60},
                                   {"mdt", -6 * 60}, {"pst", -8 * 60}, {"pdt", -7 * 60}};
    for (const Named& named : kZones) {
        if (zone == named.name) return named.offset;
    }
    // Military letters (their meaning was defined backwards) and names of
    // other zones are an unknown zone to RFC 5322: UTC.
    bool letters = true;
    for (const char c : zone) letters = letters && c >= 'a' && c <= 'z';
    if (letters) return 0;
    return std::nullopt;
}

// Days from 1970-01-01 to the date, for any year of the proleptic
// Gregorian calendar (H. Hinnant's days_from_civil).
int64_t DaysFromCivil(int64_t year, int month, int day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

int DaysInMonth(int64_t year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

std::optional<int64_t> ParseMailDate(const std::string& text) {
    std::vector<std::string> words = Words(text);
    size_t at = 0;
    if (at < words.size() && IsWeekday(words[at]) && !AllDigits(words[at])) ++at;
    // day month year, or (as some mailers wrote) month day year.
    if (at + 3 > words.size()) return std::nullopt;
    std::string dayWord = words[at];
    std::string monthWord = words[at + 1];
    if (!AllDigits(dayWord) && AllDigits(monthWord)) std::swap(dayWord, monthWord);
    const int month = MonthOf(monthWord);
    if (!AllDigits(dayWord) || dayWord.size() > 2 || month == 0) return std::nullopt;
    const int day = std::stoi(dayWord);
    const std::string& yearWord = words[at + 2];
    if (!AllDigits(yearWord) || yearWord.size() > 4) return std::nullopt;
    int64_t year = std::stoi(yearWord);
    if (yearWord.size() == 2)
        year += year < 50 ? 2000 : 1900;
    else if (yearWord.size() == 3)
        year += 1900;
    if (year < 1900 || day < 1 || day > DaysInMonth(year, month)) return std::nullopt;
    at += 3;

    // hh:mm or hh:mm:ss
    if (at >= words.size()) return std::nullopt;
    const std::string& time = words[at++];
    int parts[3] = {0, 0, 0};
    int count = 0;
    size_t from = 0;
    while (count < 3) {
        const size_t colon = time.find(':', from);
        const std::string part =
            time.substr(from, colon == std::string::npos ? std::string::npos : colon - from);
        if (!AllDigits(part) || part.size() > 2) return std::nullopt;
        parts[count++] = std::stoi(part);
        if (colon == std::string::npos) break;
        from = colon + 1;
    }
    if (count < 2 || parts[0] > 23 || parts[1] > 59 || parts[2] > 60) return std::nullopt;

    int zone = 0;
    if (at < words.size()) {
        const std::optional<int> named = ZoneOf(words[at]);
        if (!named) return std::nullopt;
        zone = *named;
    }
    return DaysFromCivil(year, month, day) * 86400 + parts[0] * 3600 + parts[1] * 60 + parts[2] -
           int64_t{zone} * 60;
}

}  // namespace varrow
