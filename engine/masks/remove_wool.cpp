#include "engine/masks/remove_wool.h"

#include "engine/masks/morphology.h"
#include "foundation/image/blit.h"

namespace trm {

void remove_wool(img::image<img::bit>& mask, int n)
{
    if (n <= 0 || mask.data == nullptr)
        return;
    const int w = static_cast<int>(mask.width);
    const int h = static_cast<int>(mask.height);
    img::image<img::bit> opened;
    open4_n(opened, mask, n);
    img::blit_and(opened, 0, 0, w, h, mask, 0, 0);
    img::image<img::bit> closed;
    close4_n(closed, mask, n);
    img::blit_and_not(closed, 0, 0, w, h, mask, 0, 0);
    img::blit_or(opened, 0, 0, w, h, closed, 0, 0);
    mask.swap(opened);
}

} // namespace trm
