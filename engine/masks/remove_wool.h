#pragma once

#include "foundation/image/image.h"

namespace trm {

// Removes the "wool" of a mask: foreground parts thinner than about 2n pixels
// disappear and background gaps of that width are filled; every other pixel
// keeps its value. With the 4-neighbourhood morphology: the mask becomes
// (opening AND mask) OR (closing AND NOT mask), n steps each. n of 0 or less
// leaves the mask as it is.
void remove_wool(img::image<img::bit>& mask, int n);

} // namespace trm
