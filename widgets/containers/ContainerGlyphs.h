#pragma once

// The glyphs of the lists, the property editor's info pane and the grips:
// added to the bitmap resources on first use, unless the program gave its
// own under the same names. UI thread only.

namespace My {

void EnsureContainerGlyphs();

} // namespace My
