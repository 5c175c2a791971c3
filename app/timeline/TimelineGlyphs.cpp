#include "app/timeline/TimelineGlyphs.h"

#include "widgets/controls/GlyphResources.h"

#include <string>
#include <vector>

namespace My {

namespace {

using Art = std::vector<std::string>;

// The mirror image, for the right-hand twin of a left glyph.
Art Mirror(Art art)
{
    for (auto& row : art)
        row.assign(row.rbegin(), row.rend());
    return art;
}

void Add(const std::string& name, const Art& art, bool mask = true)
{
    AddGlyphResource(name, mask ? name + "Mask" : "", art);
}

// A tool-bar button's glyph: its button looks for the mask under the name
// followed by "_MASK".
void AddButton(const std::string& name, const Art& art)
{
    AddGlyphResource(name, name + "_MASK", art);
}

} // namespace

void AddTimelineGlyphs()
{
    static bool added = false;
    if (added)
        return;
    added = true;

    // Current-frame thumb of the thumb line: a downward pointer.
    Add("Thumb",
        { "kkkkkkkkkkk", "kwwwwwwwwsk", "kwffffffssk", "kwffffffssk", "kwffffffssk", ".kwffffssk.",
            "..kwffssk..", "...kwssk...", "....kwk....", ".....k....." });
    const Art waLeft { "kkkkk", "kwffk", "kwfk.", "kwk..", "kk...", "k....", "k....", "k....", "k....",
        "k...." };
    Add("WALeft", waLeft);
    Add("WARight", Mirror(waLeft));
    // The work-area grip: ridges, no mask (drawn opaque).
    Add("WAThumb", { "wswswsws", "wswswsws", "wswswsws", "wswswsws", "wswswsws", "wswswsws" }, false);

    AddGlyphResource("NAVTHUMB", "NAVTHUMBMASK",
        { "kkkkk", ".kwk.", ".kwk.", "..k..", "..k..", "..k..", "..k..", "..k.." });
    const Art navWa { "kkk", "kw.", "k..", "k..", "k..", "k..", "k..", "k.." };
    AddGlyphResource("NAVWALEFT", "NAVWALEFTMASK", Mirror(navWa));
    AddGlyphResource("NAVWARIGHT", "NAVWARIGHTMASK", navWa);
    const Art navVisible { "..kk", ".kwk", "kwsk", "kwsk", "kwsk", "kwsk", ".kwk", "..kk" };
    AddGlyphResource("NAVVISIBLELEFT", "NAVVISIBLELEFTMASK", navVisible);
    AddGlyphResource("NAVVISIBLERIGHT", "NAVVISIBLERIGHTMASK", Mirror(navVisible));

    // Trimming brackets of layer rows and the span brackets of segment rows.
    const Art bracket { "kkkk", "kwsk", "kwk.", "kwk.", "kwk.", "kwk.", "kwk.", "kwk.", "kwk.", "kwk.",
        "kwk.", "kwk.", "kwsk", "kkkk" };
    Add("LeftBracket", bracket);
    Add("RightBracket", Mirror(bracket));
    Add("SegmentLeft", bracket);
    Add("SegmentRight", Mirror(bracket));

    // Transport buttons of the time controls, 9 x 7.
    const Art first { "k.....k..", "k....kk..", "k...kkk..", "k..kkkk..", "k...kkk..", "k....kk..",
        "k.....k.." };
    const Art previous { "....k..k.", "...kk.kk.", "..kkkkkk.", ".kkkkkkk.", "..kkkkkk.", "...kk.kk.",
        "....k..k." };
    const Art backward { "....k....", "...kk....", "..kkk....", ".kkkk....", "..kkk....", "...kk....",
        "....k...." };
    AddButton("TIME_FIRST_FRAME", first);
    AddButton("TIME_LAST_FRAME", Mirror(first));
    AddButton("TIME_PREVIOUS_FRAME", previous);
    AddButton("TIME_NEXT_FRAME", Mirror(previous));
    AddButton("TIME_PLAY_BACKWARD", backward);
    AddButton("TIME_PLAY_FORWARD", Mirror(backward));
    AddButton("TIME_PAUSE",
        { ".kk..kk..", ".kk..kk..", ".kk..kk..", ".kk..kk..", ".kk..kk..", ".kk..kk..", ".kk..kk.." });
    AddButton("TIME_LOOP",
        { "..kkkkk..", ".k.....k.", "k.......k", "k.......k", "k.....kkk", ".k.....k.", "..kkk...." });
    AddButton("TIME_FOLLOW",
        { "k...k....", "kk..kk...", "kkk.kkk..", "kkkkkkkk.", "kkk.kkk..", "kk..kk...", "k...k...." });

    // Key-frame marks: a small mask sheet, pressed and greyed looks.
    Add("Mask",
        { "kkkkkkkkk", "kwwwwwwsk", "kwkkkkwsk", "kwkwwkwsk", "kwkwwkwsk", "kwkkkkwsk", "kwwwwwwsk",
            "kssssssk.", "kkkkkkkk." },
        false);
    Add("MaskPressed",
        { "kkkkkkkkk", "kssssssss", "kskkkkfws", "kskwwkfws", "kskwwkfws", "kskkkkfws", "ksffffffw",
            "ksfwwwwww", "kkkkkkkkk" },
        false);
    Add("MaskGrayed",
        { "sssssssss", "sfffffffs", "sfssssffs", "sfsffsffs", "sfsffsffs", "sfssssffs", "sfffffffs",
            "sfffffffs", "sssssssss" },
        false);
}

} // namespace My
