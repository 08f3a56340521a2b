// Which row goes with which column so that the weights of the pairs add up
// to the most: the ends and starts that many copies of one cluster offer at
// a boundary, where taking the likeliest link first can leave another end
// with nothing as good.
#pragma once

#include <cstdint>
#include <vector>

namespace varrow {

// weights[r][c] is what pairing row r with column c is worth, 0 for a pair
// that may not be made; every row holds the same number of weights and none
// is negative. Returns, for each row, its column in a matching whose weights
// add up to the most, or -1 where the row stays alone. Runs in the cube of
// the larger of the two counts (the Hungarian method).
std::vector<int> BestMatching(const std::vector<std::vector<int64_t>>& weights);

}  // namespace varrow
