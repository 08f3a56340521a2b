#include "link/store_aware/best_matching.h"

#include <algorithm>
#include <limits>

namespace varrow {

std::vector<int> BestMatching(const std::vector<std::vector<int64_t>>& weights) {
    const size_t rows = weights.size();
    const size_t columns = rows == 0 ? 0 : weights.front().size();
    const size_t n = std::max(rows, columns);
    std::vector<int> matched(rows, -1);
    if (n == 0) return matched;
    int64_t most = 0;
    for (const auto& row : weights) {
        for (const int64_t w : row) most = std::max(most, w);
    }
    // The least-cost assignment of a square matrix, where a pair costs what
    // it falls short of the largest weight and padding costs that weight.
    const auto cost = [&](size_t r, size_t c) {
        return most - (r < rows && c < columns ? weights[r][c] : 0);
    };
    // Potentials of rows (u) and columns (v), and for each column the row
    // it holds (1-based; 0: none), as in the classic formulation.
    constexpr int64_t kUnreached = std::numeric_limits<int64_t>::max() / 4;
    std::vector<int64_t> u(n + 1, 0), v(n + 1, 0);
    std::vector<size_t> rowOf(n + 1, 0), previous(n + 1, 0);
    for (size_t r = 1; r <= n; ++r) {
        rowOf[0] = r;
        size_t column = 0;
        std::vector<int64_t> least(n + 1, kUnreached);
        std::vector<bool> visited(n + 1, false);
        // Grow a tree of tight pairs from row r until it reaches a free
        // column, then flip the path that leads there.
        do {
            visited[column] = true;
            const size_t row = rowOf[column];
            int64_t delta = kUnreached;
            size_t next = 0;
            for (size_t c = 1; c <= n; ++c) {
                if (visited[c]) continue;
                const int64_t reduced = cost(row - 1, c - 1) - u[row] - v[c];
                if (reduced < least[c]) {
                    least[c] = reduced;
                    previous[c] = column;
                }
                if (least[c] < delta) {
                    delta = least[c];
                    next = c;
                }
            }
            for (size_t c = 0; c <= n; ++c) {
                if (visited[c]) {
                    u[rowOf[c]] += delta;
                    v[c] -= delta;
                } else {
                    least[c] -= delta;
                }
            }
            column = next;
        } while (rowOf[column] != 0);
        do {
            const size_t before = previous[column];
            rowOf[column] = rowOf[before];
            column = before;
        } while (column != 0);
    }
    for (size_t c = 1; c <= n; ++c) {
        const size_t r = rowOf[c] - 1;
        if (r < rows && c - 1 < columns && weights[r][c - 1] > 0)
            matched[r] = static_cast<int>(c - 1);
    }
    return matched;
}

}  // namespace varrow
