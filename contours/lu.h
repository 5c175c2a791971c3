#pragma once

#include <cstddef>
#include <vector>

namespace contours {

// Dense LU decomposition with partial (row) pivoting of the square row-major
// matrix `a` of size n x n, in place: afterwards `a` holds the unit lower
// triangle L (below the diagonal) and the upper triangle U, and `pivots` the
// row exchanges. Returns false when the matrix is singular to working
// precision (a pivot no larger than a tiny multiple of the largest entry) or
// has an entry that is not finite; the decomposition is then unusable.
bool lu_decompose(std::vector<double>& a, std::size_t n, std::vector<std::size_t>& pivots);

// Solves A x = b with a decomposition made by `lu_decompose`; `b` is replaced
// by x.
void lu_solve(
    const std::vector<double>& lu, std::size_t n, const std::vector<std::size_t>& pivots, double* b);

// Replaces the n x n matrix `a` by its inverse; false (and `a` unspecified)
// when it is singular.
bool invert(std::vector<double>& a, std::size_t n);

} // namespace contours
