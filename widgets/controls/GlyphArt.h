#pragma once

// The toolkit's own glyphs, drawn here as pixel art in the grey levels
// that recolouring maps to the theme: check mark, drop-down arrow, slider
// thumb, row expanders and zoom buttons. The program adds its own tool-bar
// glyphs.

namespace My {

// Adds them to the bitmap resources (GlyphResources.h).
void AddBuiltinGlyphs();

} // namespace My
