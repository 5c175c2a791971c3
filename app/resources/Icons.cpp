#include "app/resources/Icons.h"

#include "widgets/controls/GlyphResources.h"

namespace resources {

void AddIcons()
{
    My::AddGlyphResource("TOOL_HAND", "TOOL_HAND_MASK",
        {
            "....kk.....",
            "...kwwkk...",
            "...kwwkwk..",
            "...kwwkwkk.",
            ".kkkwwkwkwk",
            "kwwkwwwwwwk",
            "kwwwwwwwwwk",
            ".kwwwwwwwwk",
            "..kwwwwwwk.",
            "...kwwwwwk.",
            "....kkkkk..",
        });
    My::AddGlyphResource("TOOL_ZOOM", "TOOL_ZOOM_MASK",
        {
            "..kkkk.....",
            ".kwwwwk....",
            "kwwkkwwk...",
            "kwkwwkwk...",
            "kwkwwkwk...",
            "kwwkkwwk...",
            ".kwwwwkk...",
            "..kkkkkkk..",
            "......kkkk.",
            ".......kkkk",
            "........kk.",
        });
    My::AddGlyphResource("TOOL_BRUSH", "TOOL_BRUSH_MASK",
        {
            ".........kk",
            "........kwk",
            ".......kwk.",
            "......kwk..",
            ".....kwk...",
            "....kwk....",
            "..kkkk.....",
            ".kwwwk.....",
            ".kwwwk.....",
            "kwwwk......",
            "kkkk.......",
        });
    My::AddGlyphResource("TOOL_FILL", "TOOL_FILL_MASK",
        {
            "....k......",
            "...kwk.....",
            "..kwwwk....",
            ".kwwwwwk...",
            "kwwwwwwwk..",
            ".kwwwwwwwk.",
            "..kwwwwwk.k",
            "...kwwwk..k",
            "....kwk..kk",
            ".....k...kk",
            "...........",
        });
    My::AddGlyphResource("TOOL_UNDO", "TOOL_UNDO_MASK",
        {
            "...k.......",
            "..kk.......",
            ".kkkkkkk...",
            "kkkkkkkkk..",
            ".kkk....kk.",
            "..kk.....kk",
            "...k.....kk",
            ".........kk",
            "........kk.",
            "......kkk..",
            "...........",
        });
    My::AddGlyphResource("TOOL_REDO", "TOOL_REDO_MASK",
        {
            ".......k...",
            ".......kk..",
            "...kkkkkkk.",
            "..kkkkkkkkk",
            ".kk....kkk.",
            "kk.....kk..",
            "kk.....k...",
            "kk.........",
            ".kk........",
            "..kkk......",
            "...........",
        });
    // The display panel's buttons: previewing the result, editing the key mask.
    My::AddGlyphResource("DISPLAY_PREVIEW", "DISPLAY_PREVIEW_MASK",
        {
            "...........",
            "...........",
            "...kkkkk...",
            ".kkwwwwwkk.",
            "kwwwkkkwwwk",
            "kwwkkwkkwwk",
            "kwwwkkkwwwk",
            ".kkwwwwwkk.",
            "...kkkkk...",
            "...........",
            "...........",
        });
    My::AddGlyphResource("DISPLAY_EDITMASK", "DISPLAY_EDITMASK_MASK",
        {
            "........kk.",
            ".......kwwk",
            "......kwwk.",
            "kkkkkkwwkk.",
            "ksssskwkfk.",
            "ksssskkffk.",
            "kssssffffk.",
            "ksssfffffk.",
            "kssffffffk.",
            "ksfffffffk.",
            "kkkkkkkkkk.",
        });
}

} // namespace resources
