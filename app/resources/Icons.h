#pragma once

// The program's own bitmap resources: the tool-bar glyphs ("TOOL_HAND",
// "TOOL_ZOOM", "TOOL_BRUSH", "TOOL_FILL", "TOOL_UNDO", "TOOL_REDO", and the
// display panel's "DISPLAY_PREVIEW" and "DISPLAY_EDITMASK", each
// with its "_MASK"). Added to the toolkit's resources once, at start-up.

namespace resources {

void AddIcons();

} // namespace resources
