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
}

} // namespace My
