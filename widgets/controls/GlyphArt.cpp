#include "widgets/controls/GlyphArt.h"

#include "widgets/controls/GlyphResources.h"

namespace My {

void AddBuiltinGlyphs()
{
    // 9 x 9 check mark inside the check box's sunken frame.
    AddGlyphResource("MYFC_CHECKBOX", "MYFC_CHECKBOX_MASK",
        {
            "wwwwwwwww",
            "wwwwwwwkw",
            "wwwwwwkkw",
            "wkwwwkkkw",
            "wkkwkkkww",
            "wkkkkkwww",
            "wwkkkwwww",
            "wwwkwwwww",
            "wwwwwwwww",
        });
    // The drop-down arrow.
    AddGlyphResource("DROPDOWN_BUTTON", "DROPDOWN_BUTTON_MASK",
        {
            "kkkkkkk",
            ".kkkkk.",
            "..kkk..",
            "...k...",
        });
    // The slider's thumb: a pointed block, lit from the top-left.
    AddGlyphResource("SliderThumb", "SliderThumbMask",
        {
            "wwwwwwwwk",
            "wffffffsk",
            "wffffffsk",
            "wffffffsk",
            "wffffffsk",
            "wffffffsk",
            "wffffffsk",
            ".wffffsk.",
            "..wffsk..",
            "...wsk...",
            "....k....",
        });
    // Expanders of tree rows: collapsed (plus) and expanded (minus).
    const std::vector<std::string> plus {
        "sssssssss",
        "swwwwwwws",
        "swwwkwwws",
        "swwwkwwws",
        "swkkkkkws",
        "swwwkwwws",
        "swwwkwwws",
        "swwwwwwws",
        "sssssssss",
    };
    const std::vector<std::string> minus {
        "sssssssss",
        "swwwwwwws",
        "swwwwwwws",
        "swwwwwwws",
        "swkkkkkws",
        "swwwwwwws",
        "swwwwwwws",
        "swwwwwwws",
        "sssssssss",
    };
    AddGlyphResource("BUTTONUP", "BUTTONUPMASK", plus);
    AddGlyphResource("BUTTONDOWN", "BUTTONDOWNMASK", minus);
    // Expanders of list rows: a triangle pointing right (collapsed) or down.
    AddGlyphResource("LISTBUTTONUP", "LISTBUTTONUPMASK",
        {
            "..k......",
            "..kk.....",
            "..kkk....",
            "..kkkk...",
            "..kkkkk..",
            "..kkkk...",
            "..kkk....",
            "..kk.....",
            "..k......",
        });
    AddGlyphResource("LISTBUTTONDOWN", "LISTBUTTONDOWNMASK",
        {
            ".........",
            ".........",
            "kkkkkkkkk",
            ".kkkkkkk.",
            "..kkkkk..",
            "...kkk...",
            "....k....",
            ".........",
            ".........",
        });
    // Zoom buttons: a magnifier with a plus or a minus.
    AddGlyphResource("ZoomIn", "ZoomInMask",
        {
            "...kkkk.....",
            ".kkwwwwkk...",
            ".kwwwkwwk...",
            "kwwwwkwwwk..",
            "kwwkkkkkwk..",
            "kwwwwkwwwk..",
            ".kwwwkwwk...",
            ".kkwwwwkkk..",
            "...kkkk.kkk.",
            ".........kkk",
            "..........kk",
        });
    AddGlyphResource("ZoomOut", "ZoomOutMask",
        {
            "...kkkk.....",
            ".kkwwwwkk...",
            ".kwwwwwwk...",
            "kwwwwwwwwk..",
            "kwwkkkkkwk..",
            "kwwwwwwwwk..",
            ".kwwwwwwk...",
            ".kkwwwwkkk..",
            "...kkkk.kkk.",
            ".........kkk",
            "..........kk",
        });
    // The view's tools.
    AddGlyphResource("TOOL_HAND", "TOOL_HAND_MASK",
        {
            "......kk........",
            "...kk.kwk.......",
            "..kwwkkwwkk.....",
            "..kwwkkwwkwk....",
            "...kwwkwwkwwk...",
            "...kwwkwwkwwkk..",
            ".kk.kwwwwwwwkwk.",
            "kwwkkwwwwwwwwwk.",
            "kwwwkwwwwwwwwwk.",
            ".kwwwwwwwwwwwk..",
            "..kwwwwwwwwwwk..",
            "..kwwwwwwwwwk...",
            "...kwwwwwwwwk...",
            "....kwwwwwwk....",
            ".....kwwwwwk....",
            ".....kkkkkkk....",
        });
    AddGlyphResource("TOOL_ZOOM", "TOOL_ZOOM_MASK",
        {
            "....kkkkk.......",
            "..kkwwwwwkk.....",
            ".kwwwwwwwwwk....",
            ".kwwwwwwwwwk....",
            "kwwwwwwwwwwwk...",
            "kwwwwwwwwwwwk...",
            "kwwwwwwwwwwwk...",
            "kwwwwwwwwwwwk...",
            ".kwwwwwwwwwk....",
            ".kwwwwwwwwwkk...",
            "..kkwwwwwkkkkk..",
            "....kkkkk..kkkk.",
            "............kkkk",
            ".............kkk",
            "..............k.",
            "................",
        });
    AddGlyphResource("TOOL_BRUSH", "TOOL_BRUSH_MASK",
        {
            "............kk..",
            "...........kwsk.",
            "..........kwsk..",
            ".........kwsk...",
            "........kwsk....",
            ".......kwsk.....",
            "......kwsk......",
            ".....kkssk......",
            "....kffkk.......",
            "...kfffk........",
            "..kfffk.........",
            "..kffk..........",
            ".kffk...........",
            ".kfk............",
            "kkk.............",
            "................",
        });
    AddGlyphResource("TOOL_FILL", "TOOL_FILL_MASK",
        {
            "......k.........",
            ".....kwk........",
            "....kwwwk.......",
            "...kwwwwwk......",
            "..kwwwwwwwk.....",
            ".kwwwwwwwwwk....",
            "kssssssssssk.k..",
            ".kssssssssk..kk.",
            "..kssssssk...kk.",
            "...kssssk...kssk",
            "....kssk....kssk",
            ".....kk......kk.",
            "................",
            "................",
            "................",
            "................",
        });
    AddGlyphResource("TOOL_UNDO", "TOOL_UNDO_MASK",
        {
            "................",
            "................",
            "...k............",
            "..kk............",
            ".kwkkkkkkk......",
            "kwwwwwwwwwk.....",
            ".kwkkkkkkwwk....",
            "..kk.....kwwk...",
            "...k......kwk...",
            "..........kwk...",
            "..........kwk...",
            ".........kwwk...",
            "........kwwk....",
            "........kkk.....",
            "................",
            "................",
        });
    AddGlyphResource("TOOL_REDO", "TOOL_REDO_MASK",
        {
            "................",
            "................",
            "............k...",
            "............kk..",
            "......kkkkkkkwk.",
            ".....kwwwwwwwwwk",
            "....kwwkkkkkkwk.",
            "...kwwk.....kk..",
            "...kwk......k...",
            "...kwk..........",
            "...kwk..........",
            "...kwwk.........",
            "....kwwk........",
            ".....kkk........",
            "................",
            "................",
        });
}

} // namespace My
