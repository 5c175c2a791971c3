#pragma once

// The toolkit's bitmap resources by name: glyphs and their transparency
// masks, compiled in. A glyph is drawn in the grey levels that recolouring
// maps to the theme (0 black, 128 shadow, 192 face, 255 highlight); its mask
// is white (bit 1) where the glyph is opaque and black (bit 0) where the
// background shows. Masked-out glyph pixels are black. The program adds its
// own resources (tool-bar glyphs) at start-up. UI thread only.

#include <cstdint>
#include <string>
#include <vector>

namespace My {

struct BitmapResource {
    int width = 0;
    int height = 0;
    // Blue, green, red and alpha in the bytes of each word from the lowest;
    // rows top-down. Alpha 0 everywhere means the bitmap carries no alpha.
    std::vector<std::uint32_t> pixels;
};

// The resource of that name, or null.
const BitmapResource* FindBitmapResource(const std::string& name);

// Adds (or replaces) a resource. `art` gives one string per row, one
// character per pixel: 'k' black, 's' shadow grey (128), 'f' face grey (192),
// 'w' white (255), anything else black and transparent. The glyph is stored
// under `name` and, when `mask_name` is not empty, its mask under that name.
// Throws std::invalid_argument when the rows differ in length.
void AddGlyphResource(
    const std::string& name, const std::string& mask_name, const std::vector<std::string>& art);

} // namespace My
