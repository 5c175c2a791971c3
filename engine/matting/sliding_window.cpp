#include "engine/matting/sliding_window.h"

#include <bit>

namespace trm {

void set_pixels_of_row(const img::image<img::bit>& mask, unsigned y, std::vector<unsigned>& out)
{
    out.clear();
    const unsigned char* row = mask.row(y);
    const unsigned bytes = (mask.width + 7) / 8;
    for (unsigned i = 0; i < bytes; ++i) {
        unsigned byte = row[i];
        while (byte != 0) {
            // Bit 7 is the leftmost pixel of the byte.
            const unsigned lead = static_cast<unsigned>(std::countl_zero(static_cast<unsigned char>(byte)));
            const unsigned x = i * 8 + lead;
            if (x >= mask.width)
                return;
            out.push_back(x);
            byte &= ~(0x80u >> lead);
        }
    }
}

} // namespace trm
