#include "vortel/field_interlacing_writer.h"

#include "foundation/files/image_error.h"

#include <cstring>

namespace vortel {

field_interlacing_writer::field_interlacing_writer(std::unique_ptr<writer> inner, bool odd_rows)
    : m_inner(std::move(inner))
    , m_odd_rows(odd_rows)
{
}

void field_interlacing_writer::write(const img::image<img::BGRA<unsigned char>>& frame)
{
    if (!m_holding) {
        // The held frame: bottom-up rows aligned to 4 bytes, as the AVI
        // writer takes them without a copy.
        m_held.top_down = false;
        m_held.resize(frame.width, frame.height, 4);
        m_held.update_rows();
        for (unsigned y = 0; y < frame.height; ++y)
            std::memcpy(m_held.rows[y], frame.rows[y], std::size_t(frame.width) * 4);
        m_holding = true;
        return;
    }
    if (frame.width != m_held.width || frame.height != m_held.height)
        throw img::io_error("frame size differs from the first frame of its pair", "field rendering");
    for (unsigned y = m_odd_rows ? 1 : 0; y < frame.height; y += 2)
        std::memcpy(m_held.rows[y], frame.rows[y], std::size_t(frame.width) * 4);
    // The next frame starts a new pair whatever the inner writer does.
    m_holding = false;
    m_inner->write(m_held);
}

void field_interlacing_writer::finish()
{
    m_holding = false;
    m_inner->finish();
}

void field_interlacing_writer::discard() noexcept
{
    m_holding = false;
    m_inner->discard();
}

} // namespace vortel
