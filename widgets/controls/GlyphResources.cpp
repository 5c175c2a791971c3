#include "widgets/controls/GlyphResources.h"

#include <map>
#include <stdexcept>

#include "widgets/controls/GlyphArt.h"

namespace My {

namespace {

std::uint32_t grey(unsigned level)
{
    return level | (level << 8) | (level << 16);
}

std::map<std::string, BitmapResource>& table()
{
    static std::map<std::string, BitmapResource> resources;
    static bool filled = false;
    if (!filled) {
        filled = true;
        AddBuiltinGlyphs();
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
