#include "widgets/controls/GlyphResources.h"

#include <map>
#include <stdexcept>

namespace My {

namespace {

std::uint32_t grey(unsigned level)
{
    return level | (level << 8) | (level << 16);
}

std::map<std::string, BitmapResource>& table();

// The toolkit's own glyphs.
void add_builtin(std::map<std::string, BitmapResource>&)
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
    // List buttons: collapsed (plus) and expanded (minus).
    AddGlyphResource("BUTTONUP", "BUTTONUPMASK",
        {
            "sssssssss",
            "swwwwwwws",
            "swwwkwwws",
            "swwwkwwws",
            "swkkkkkws",
            "swwwkwwws",
            "swwwkwwws",
            "swwwwwwws",
            "sssssssss",
        });
    AddGlyphResource("BUTTONDOWN", "BUTTONDOWNMASK",
        {
            "sssssssss",
            "swwwwwwws",
            "swwwwwwws",
            "swwwwwwws",
            "swkkkkkws",
            "swwwwwwws",
            "swwwwwwws",
            "swwwwwwws",
            "sssssssss",
        });
}

std::map<std::string, BitmapResource>& table()
{
    static std::map<std::string, BitmapResource> resources;
    static bool filled = false;
    if (!filled) {
        filled = true;
        add_builtin(resources);
    }
    return resources;
}

} // namespace

const BitmapResource* FindBitmapResource(const std::string& name)
{
    auto& t = table();
    auto it = t.find(name);
    return it == t.end() ? nullptr : &it->second;
}

void AddGlyphResource(
    const std::string& name, const std::string& mask_name, const std::vector<std::string>& art)
{
    BitmapResource glyph, mask;
    glyph.height = mask.height = int(art.size());
    glyph.width = mask.width = art.empty() ? 0 : int(art[0].size());
    for (const std::string& row : art) {
        if (int(row.size()) != glyph.width)
            throw std::invalid_argument("glyph rows differ in length");
        for (char c : row) {
            bool opaque = true;
            unsigned level = 0;
            switch (c) {
            case 'k':
                break;
            case 's':
                level = 128;
                break;
            case 'f':
                level = 192;
                break;
            case 'w':
                level = 255;
                break;
            default:
                opaque = false;
                break;
            }
            glyph.pixels.push_back(grey(level));
            mask.pixels.push_back(opaque ? grey(255) : 0);
        }
    }
    auto& t = table();
    t[name] = std::move(glyph);
    if (!mask_name.empty())
        t[mask_name] = std::move(mask);
}

} // namespace My
