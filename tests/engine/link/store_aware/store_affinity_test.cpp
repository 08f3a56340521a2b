// The shared substring index of a cluster boundary against a plain count
// of the same thing.
#include "link/store_aware/store_affinity.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace varrow {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Of(const std::string& text) { return Bytes(text.begin(), text.end()); }

// How many 8-byte windows of source are among before's distinct 8-byte
// substrings that are not one byte repeated, counted plainly.
size_t PlainCount(const Bytes& before, const Bytes& source) {
    std::set<std::string> grams;
    for (size_t at = 0; at + 8 <= before.size(); ++at) {
        const auto first = before.begin() + static_cast<std::ptrdiff_t>(at);
        if (std::all_of(first, first + 8, [&](uint8_t byte) { return byte == *first; })) continue;
        grams.insert(std::string(first, first + 8));
    }
    size_t count = 0;
    for (size_t at = 0; at + 8 <= source.size(); ++at) {
        count += grams.count(std::string(source.begin() + static_cast<std::ptrdiff_t>(at),
                                         source.begin() + static_cast<std::ptrdiff_t>(at + 8)));
    }
    return count;
}

// Text of words drawn from a small vocabulary, so that texts share many
// substrings, some runs of one byte and some zero bytes among them.
Bytes Wording(std::mt19937& random, size_t length) {
    static const std::vector<std::string> kWords = {
        "the ",  "meeting ", "invoice ", "Content-Type: text/plain\r\n", "\r\n",
        "--",    "        ", std::string(12, '\0'), "Regards, Anna ", "=20\r\n",
        "QUJD",  "zzzzzzzzzz", "ab",   "Subject: "};
    Bytes text;
    while (text.size() < length) {
        const std::string& word = kWords[random() % kWords.size()];
        text.insert(text.end(), word.begin(), word.end());
    }
    text.resize(length);
    return text;
}

void ExpectPlainCounts(BoundaryAffinity& index, const std::vector<Bytes>& sources,
                       const std::vector<Bytes>& befores, const std::string& what) {
    index.Clear();
    for (size_t s = 0; s < sources.size(); ++s)
        EXPECT_EQ(index.AddSource(sources[s]), s) << what;
    std::vector<size_t> counts;
    // Each before twice, in turn: what one count marks must not hide a
    // substring from the next.
    for (int round = 0; round < 2; ++round) {
        for (size_t b = 0; b < befores.size(); ++b) {
            index.Count(befores[b], &counts);
            ASSERT_EQ(counts.size(), sources.size()) << what;
            for (size_t s = 0; s < sources.size(); ++s) {
                EXPECT_EQ(counts[s], PlainCount(befores[b], sources[s]))
                    << what << ", before " << b << ", source " << s;
            }
        }
    }
}

TEST(BoundaryAffinity, CountsLikeAPlainCount) {
    BoundaryAffinity index;  // one index through all cases, as a boundary after another
    const Bytes letter = Of("Dear Anna,\r\nthe meeting is on Monday; the invoice follows.\r\n");
    ExpectPlainCounts(index, {}, {letter}, "no sources");
    ExpectPlainCounts(index, {Of("short"), Of("")}, {letter, Of("")},
                      "sources and befores shorter than a substring");
    ExpectPlainCounts(index, {letter, letter, Of("Dear Anna,\r\n")}, {letter},
                      "sources holding the same text");
    ExpectPlainCounts(index, {Of(std::string(40, 'x')), Of(std::string(40, '\0'))},
                      {Of(std::string(40, 'x') + "y" + std::string(40, '\0'))},
                      "runs of one byte never count");
    ExpectPlainCounts(index, {Of("the meeting the meeting the meeting")},
                      {Of("xx the meeting yy the meeting")},
                      "a substring before holds twice counts once, a source's every time");

    std::mt19937 random(21);
    for (const size_t sourceCount : {2u, 12u, 70u, 300u}) {
        std::vector<Bytes> sources, befores;
        for (size_t s = 0; s < sourceCount; ++s) sources.push_back(Wording(random, 1024));
        for (size_t b = 0; b < 3; ++b) befores.push_back(Wording(random, 2048));
        ExpectPlainCounts(index, sources, befores,
                          std::to_string(sourceCount) + " sources of shared wording");
    }
    // Sources of random bytes hold some 1000 substrings each: the table
    // grows while it is filled, past the size it keeps for the next
    // boundary. Each before takes pieces of a few of them.
    std::vector<Bytes> sources, befores;
    for (size_t s = 0; s < 100; ++s) {
        Bytes bytes(1024);
        for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random());
        sources.push_back(bytes);
    }
    for (size_t b = 0; b < 3; ++b) {
        Bytes before;
        for (size_t piece = 0; piece < 8; ++piece) {
            const Bytes& from = sources[random() % sources.size()];
            const size_t at = random() % 900;
            before.insert(before.end(), from.begin() + static_cast<std::ptrdiff_t>(at),
                          from.begin() + static_cast<std::ptrdiff_t>(at + 100 + b * 10));
        }
        befores.push_back(before);
    }
    ExpectPlainCounts(index, sources, befores, "sources of random bytes");
    ExpectPlainCounts(index, {letter}, {letter}, "a small boundary after a large one");
}

}  // namespace
}  // namespace varrow
