#pragma once

// Singular value decomposition of small square matrices, the engine's one
// door to the GNU Scientific Library.

#include <span>

namespace trm {

// Decomposes the n x n row-major matrix `a` (n = s.size()) as a = U S Vᵀ:
// afterwards `a` holds U, `v` holds V (both row-major, n x n) and `s` the
// singular values in decreasing order. `work` has n entries. Allocates
// nothing and keeps no state, so it may run on several threads at once.
// Throws std::runtime_error with the library's reason when the decomposition
// fails (the library's own handler, which would abort the process, is
// switched off on first use).
void singular_value_decomposition(
    std::span<double> a, std::span<double> v, std::span<double> s, std::span<double> work);

} // namespace trm
