#include "link/store_aware/best_matching.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <vector>

namespace varrow {
namespace {

using Weights = std::vector<std::vector<int64_t>>;

// The most any matching reaches, by trying every column (or none) for each
// row in turn.
int64_t MostByTrying(const Weights& weights, size_t row, std::vector<bool>& used) {
    if (row == weights.size()) return 0;
    int64_t most = MostByTrying(weights, row + 1, used);
    for (size_t c = 0; c < weights[row].size(); ++c) {
        if (used[c] || weights[row][c] == 0) continue;
        used[c] = true;
        most = std::max(most, weights[row][c] + MostByTrying(weights, row + 1, used));
        used[c] = false;
    }
    return most;
}

// The matching's own total; fails the test where it pairs a column twice or
// makes a pair that may not be made.
int64_t TotalOf(const Weights& weights, const std::vector<int>& matched) {
    EXPECT_EQ(matched.size(), weights.size());
    std::set<int> columns;
    int64_t total = 0;
    for (size_t r = 0; r < matched.size(); ++r) {
        if (matched[r] < 0) continue;
        EXPECT_TRUE(columns.insert(matched[r]).second) << "column " << matched[r] << " twice";
        EXPECT_GT(weights[r][matched[r]], 0) << "row " << r;
        total += weights[r][matched[r]];
    }
    return total;
}

TEST(BestMatching, GivesUpTheLikeliestPairWhereThatLeavesAnotherRowWithLittle) {
    // Row 0 likes both columns almost alike; row 1 only column 0. Taking
    // the largest weight first (row 0, column 0) would leave row 1 alone.
    const Weights weights = {{10, 9}, {8, 0}};
    EXPECT_EQ(BestMatching(weights), (std::vector<int>{1, 0}));
}

TEST(BestMatching, LeavesRowsAloneWherePairsMayNotBeMade) {
    EXPECT_EQ(BestMatching({{0, 0}, {0, 5}, {0, 7}}), (std::vector<int>{-1, -1, 1}));
    EXPECT_EQ(BestMatching({}), std::vector<int>{});
    EXPECT_EQ(BestMatching({{}, {}}), (std::vector<int>{-1, -1}));
}

TEST(BestMatching, ReachesTheMostOnRandomWeights) {
    std::mt19937 random(5);
    for (int round = 0; round < 3000; ++round) {
        const size_t rows = random() % 7;
        const size_t columns = random() % 7;
        Weights weights(rows, std::vector<int64_t>(columns, 0));
        for (auto& row : weights) {
            for (int64_t& w : row) {
                // Many pairs that may not be made, many equal weights, and
                // some of the size the linking uses.
                const uint32_t kind = random() % 4;
                w = kind == 0 ? 0 : kind == 1 ? int64_t{1} << 50 : 1 + random() % 5;
            }
        }
        std::vector<bool> used(columns, false);
        EXPECT_EQ(TotalOf(weights, BestMatching(weights)), MostByTrying(weights, 0, used))
            << "round " << round;
    }
}

}  // namespace
}  // namespace varrow
