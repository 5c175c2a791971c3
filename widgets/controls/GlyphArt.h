#pragma once

// The toolkit's and the program's own glyphs, drawn here as pixel art in the
// grey levels that recolouring maps to the theme: check mark, drop-down
// arrow, slider thumb, row expanders, zoom buttons and the view's tools.

namespace My {

// Adds them to the bitmap resources (GlyphResources.h).
void AddBuiltinGlyphs();

} // namespace My
