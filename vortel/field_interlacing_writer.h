#pragma once

// Field rendering: two rendered frames make one interlaced frame. The first
// of a pair is held; the second supplies every other row of it (the odd
// rows 1, 3, 5, ... counted from the top, or the even rows 0, 2, 4, ...) and
// the combined frame goes to the inner writer. A frame left without its
// partner at the end is dropped. Destroyed without finish, it drops a held
// frame and the inner writer discards its output.

#include "vortel/writer.h"

#include <memory>

namespace vortel {

class field_interlacing_writer final : public writer {
public:
    // `odd_rows`: the second frame of a pair supplies the odd rows (upper
    // field first), else the even rows (lower field first).
    field_interlacing_writer(std::unique_ptr<writer> inner, bool odd_rows);
    // Throws img::io_error "frame size differs from the first frame of its
    // pair" when the second frame's size differs from the held one's.
    void write(const img::image<img::BGRA<unsigned char>>& frame) override;
    // Drops a frame left without its partner and finishes the inner writer.
    void finish() override;
    // Drops a held frame and discards the inner writer.
    void discard() noexcept override;

private:
    std::unique_ptr<writer> m_inner;
    bool m_odd_rows;
    bool m_holding = false;
    img::image<img::BGRA<unsigned char>> m_held;
};

} // namespace vortel
