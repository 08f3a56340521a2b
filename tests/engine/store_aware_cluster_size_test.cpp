// The cluster size read from the bases of the stores' pieces.
#include "cluster_size.h"

#include <gtest/gtest.h>

#include <vector>

namespace varrow {
namespace {

// The bases step * k for each k.
std::vector<int64_t> Multiples(int64_t step, const std::vector<int64_t>& factors) {
    std::vector<int64_t> bases;
    for (const int64_t k : factors) bases.push_back(step * k);
    return bases;
}

std::vector<int64_t> operator+(std::vector<int64_t> a, const std::vector<int64_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(ClusterSize, IsTheLargestPowerOfTwoThatDividesNineInTenPieceBases) {
    struct Case {
        const char* what;
        std::vector<int64_t> bases;
        uint32_t expected;
    };
    const std::vector<Case> cases = {
        {"no piece", {}, 4096},
        {"one piece", {0x100000}, 4096},
        {"pieces on 64 KiB boundaries", Multiples(0x10000, {1, 3}), 65536},
        {"larger boundaries count as 64 KiB", Multiples(0x100000, {1, 2}), 65536},
        {"pieces in 4 KiB clusters", Multiples(4096, {1, 3, 5, 7, 9, 2}), 4096},
        {"nine in ten on 8 KiB", Multiples(8192, {1, 2, 3, 4, 5, 6, 7, 8, 9}) + Multiples(4096, {3}), 8192},
        {"eight in ten on 8 KiB", Multiples(8192, {1, 2, 3, 4, 5, 6, 7, 8}) + Multiples(4096, {3, 5}), 4096},
        {"negative bases", Multiples(8192, {-1, -3, 1}), 8192},
        {"512-byte sectors", Multiples(512, {1, 3}), 512},
        {"no cluster at all", {1001, 7 * 256}, 4096},
    };
    for (const Case& c : cases) EXPECT_EQ(InferClusterSize(c.bases), c.expected) << c.what;
}

}  // namespace
}  // namespace varrow
