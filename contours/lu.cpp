#include "contours/lu.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace contours {

bool lu_decompose(std::vector<double>& a, std::size_t n, std::vector<std::size_t>& pivots)
{
    pivots.resize(n);
    double largest = 0.0;
    for (std::size_t i = 0; i < n * n; ++i) {
        if (!std::isfinite(a[i]))
            return false;
        largest = std::max(largest, std::abs(a[i]));
    }
    if (!(largest > 0.0))
        return n == 0;
    const double tiny = largest * static_cast<double>(n) * std::numeric_limits<double>::epsilon();

    for (std::size_t k = 0; k < n; ++k) {
        std::size_t best = k;
        double best_value = std::abs(a[k * n + k]);
        for (std::size_t i = k + 1; i < n; ++i) {
            const double v = std::abs(a[i * n + k]);
            if (v > best_value) {
                best_value = v;
                best = i;
            }
        }
        pivots[k] = best;
        if (!(best_value > tiny))
            return false;
        if (best != k)
            std::swap_ranges(a.begin() + static_cast<std::ptrdiff_t>(k * n),
                a.begin() + static_cast<std::ptrdiff_t>(k * n + n),
                a.begin() + static_cast<std::ptrdiff_t>(best * n));
        const double* row_k = &a[k * n];
        const double inverse = 1.0 / row_k[k];
        for (std::size_t i = k + 1; i < n; ++i) {
            double* row_i = &a[i * n];
            const double factor = row_i[k] * inverse;
            row_i[k] = factor;
            if (factor == 0.0)
                continue;
            for (std::size_t j = k + 1; j < n; ++j)
                row_i[j] -= factor * row_k[j];
        }
    }
    return true;
}

void lu_solve(const std::vector<double>& lu, std::size_t n, const std::vector<std::size_t>& pivots, double* b)
{
    for (std::size_t k = 0; k < n; ++k)
        if (pivots[k] != k)
            std::swap(b[k], b[pivots[k]]);
    for (std::size_t i = 1; i < n; ++i) {
        double sum = b[i];
        const double* row = &lu[i * n];
        for (std::size_t j = 0; j < i; ++j)
            sum -= row[j] * b[j];
        b[i] = sum;
    }
    for (std::size_t i = n; i-- > 0;) {
        double sum = b[i];
        const double* row = &lu[i * n];
        for (std::size_t j = i + 1; j < n; ++j)
            sum -= row[j] * b[j];
        b[i] = sum / row[i];
    }
}

bool invert(std::vector<double>& a, std::size_t n)
{
    std::vector<std::size_t> pivots;
    if (!lu_decompose(a, n, pivots))
        return false;
    std::vector<double> inverse(n * n);
    std::vector<double> column(n);
    for (std::size_t c = 0; c < n; ++c) {
        std::fill(column.begin(), column.end(), 0.0);
        column[c] = 1.0;
        lu_solve(a, n, pivots, column.data());
        for (std::size_t r = 0; r < n; ++r)
            inverse[r * n + c] = column[r];
    }
    a.swap(inverse);
    return true;
}

} // namespace contours
