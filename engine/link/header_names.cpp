#include "link/header_names.h"

#include <algorithm>
#include <array>

namespace varrow {

namespace {

constexpr std::array<std::string_view, 64> kKnownHeaderNames = {
    "Return-path", "Received", "Reply-To", "Sender", "Resent-Reply-To", "Resent-From",
    "Resent-Sender", "Resent-Date", "Resent-To", "Resent-cc", "Resent-bcc", "Message-ID",
    "Resent-Message-ID", "In-Reply-To", "References", "Keywords", "Subject", "Comments",
    "Encrypted", "Disposition-Notification-To", "Disposition", "Delivered-To", "Final-Recipient",
    "Importance", "Priority", "Original-Message-ID", "Authentication-Results", "MIME-Version",
    "Content-ID", "Content-Type", "Content-Length", "Content-class", "Content-Location",
    "Content-return", "Content-Transfer-Encoding", "Content-Disposition", "Content-description",
    "X-Priority", "X-MSMail-Priority", "X-Envelope-To", "X-Sender", "X-Mailer", "X-MimeOLE",
    "X-MIMETrack", "X-Mlf-Version", "X-Apparently-To", "X-Originating-IP",
    "X-OriginalArrivalTime", "X-MS-Has-Attach", "X-MS-TNEF-Correlator", "X-IronPort-AV",
    "X-AntiVirus", "X-Spam-Filtered", "X-Spam-Status", "X-Spam-Flag", "X-Spam-Level",
    "X-Spam-Report", "X-Symantec-TimeoutProtection", "X-Virus-Check-By", "X-Spam-Check-By",
    "X-AOL-IP", "X-AOL-SCOLL-AUTHENTICATION", "Thread-Topic", "Thread-Index",
};

uint8_t Lower(uint8_t c) { return (c >= 'A' && c <= 'Z') ? static_cast<uint8_t>(c + 32) : c; }

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return Lower(static_cast<uint8_t>(x)) == Lower(static_cast<uint8_t>(y));
           });
}

}  // namespace

bool IsKnownHeaderName(std::string_view text) {
    return std::any_of(kKnownHeaderNames.begin(), kKnownHeaderNames.end(),
                       [&](std::string_view name) { return EqualIgnoringCase(name, text); });
}

std::vector<std::string> HeaderNameEndings(std::string_view tail) {
    std::vector<std::string> endings;
    if (tail.empty()) return endings;
    for (const std::string_view name : kKnownHeaderNames) {
        if (name.size() <= tail.size() || !EqualIgnoringCase(name.substr(0, tail.size()), tail)) continue;
        std::string ending(name.substr(tail.size()));
        for (char& c : ending) c = static_cast<char>(Lower(static_cast<uint8_t>(c)));
        endings.push_back(std::move(ending));
    }
    return endings;
}

bool EndsKnownHeaderName(std::string_view word) {
    return !word.empty() && std::any_of(kKnownHeaderNames.begin(), kKnownHeaderNames.end(), [&](std::string_view name) {
               return name.size() > word.size() && EqualIgnoringCase(name.substr(name.size() - word.size()), word);
           });
}

}  // namespace varrow
