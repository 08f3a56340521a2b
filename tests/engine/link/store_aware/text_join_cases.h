// Table cases for the checks of message text across a cluster boundary:
// what the text before and after says, and what the check must answer.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "link/store_aware/store_bytes.h"

namespace varrow {

inline std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

struct JoinCase {
    const char* what;
    std::string before, after;
    TextJoin expected;
};

using JoinCheck = TextJoin (*)(std::span<const uint8_t> before, std::span<const uint8_t> after);

inline void ExpectJoins(JoinCheck join, const std::vector<JoinCase>& cases) {
    for (const JoinCase& c : cases)
        EXPECT_EQ(join(Bytes(c.before), Bytes(c.after)), c.expected) << c.what;
}

}  // namespace varrow
