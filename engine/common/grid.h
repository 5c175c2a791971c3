#pragma once

// The engine's two-dimensional array: columns x rows elements in one
// contiguous row-major block. A plain value: copies copy every element.

#include <algorithm>
#include <cstddef>
#include <limits>
#include <stdexcept>
#include <utility>
#include <vector>

namespace trm {

template <class T> class grid {
public:
    grid() = default;
    grid(std::size_t columns, std::size_t rows, const T& fill = T()) { resize(columns, rows, fill); }

    // New storage of columns x rows elements, all `fill`; the old elements
    // are released. Same size: the elements are refilled.
    void resize(std::size_t columns, std::size_t rows, const T& fill = T())
    {
        if (rows != 0 && columns > std::numeric_limits<std::size_t>::max() / sizeof(T) / rows)
            throw std::length_error("grid too large");
        if (columns == m_columns && rows == m_rows) {
            std::fill(m_cells.begin(), m_cells.end(), fill);
            return;
        }
        std::vector<T>(columns * rows, fill).swap(m_cells);
        m_columns = columns;
        m_rows = rows;
    }

    // Releases the storage; the grid becomes 0 x 0.
    void clear() noexcept
    {
        std::vector<T>().swap(m_cells);
        m_columns = 0;
        m_rows = 0;
    }

    bool empty() const noexcept { return m_cells.empty(); }
    std::size_t columns() const noexcept { return m_columns; }
    std::size_t rows() const noexcept { return m_rows; }
    std::size_t count() const noexcept { return m_cells.size(); }

    // Row `row` (no range check).
    T* operator[](std::size_t row) noexcept { return m_cells.data() + row * m_columns; }
    const T* operator[](std::size_t row) const noexcept { return m_cells.data() + row * m_columns; }

    T* data() noexcept { return m_cells.data(); }
    const T* data() const noexcept { return m_cells.data(); }

    void swap(grid& other) noexcept
    {
        m_cells.swap(other.m_cells);
        std::swap(m_columns, other.m_columns);
        std::swap(m_rows, other.m_rows);
    }

private:
    std::vector<T> m_cells;
    std::size_t m_columns = 0;
    std::size_t m_rows = 0;
};

} // namespace trm
