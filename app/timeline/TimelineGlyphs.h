#pragma once

// The timeline's glyphs (handles, brackets, key-frame marks) and the
// transport buttons of the time controls, drawn as
// pixel art in the grey levels that recolouring maps to the theme.

namespace My {

// Adds them to the bitmap resources; later calls do nothing.
void AddTimelineGlyphs();

} // namespace My
