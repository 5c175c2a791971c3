#include "widgets/containers/ContainerGlyphs.h"

#include <algorithm>
#include <string>
#include <vector>

#include "widgets/controls/GlyphResources.h"

namespace My {

namespace {

void add_if_missing(const std::string& name, const std::string& mask, const std::vector<std::string>& art)
{
    if (!FindBitmapResource(name))
        AddGlyphResource(name, mask, art);
}

} // namespace

void EnsureContainerGlyphs()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    // Tree expanders: a right-pointing and a down-pointing triangle.
    add_if_missing("LISTBUTTONUP", "LISTBUTTONUPMASK",
        { "...........", "...k.......", "...kk......", "...kkk.....", "...kkkk....", "...kkkkk...",
            "...kkkk....", "...kkk.....", "...kk......", "...k.......", "..........." });
    add_if_missing("LISTBUTTONDOWN", "LISTBUTTONDOWNMASK",
        { "...........", "...........", "...........", ".kkkkkkkkk.", "..kkkkkkk..", "...kkkkk...",
            "....kkk....", ".....k.....", "...........", "...........", "..........." });
    // The info pane's mark: an "i" in a circle.
    add_if_missing("INFO", "INFOMASK",
        { "...ssss...", ".sswwwwss.", ".swwkkwws.", "swwwwwwwws", "swwkkkwwws", "swwwkkwwws", "swwwkkwwws",
            ".swkkkkws.", ".sswwwwss.", "...ssss..." });
    // Grips: five raised dots in a column (right) or a row (bottom), and
    // an outline of them while the bar is hidden.
    const std::vector<std::string> right
        = { ".....", ".....", ".....", ".....", ".....", ".....", ".wk..", ".kk..", ".....", ".wk..", ".kk..",
              ".....", ".wk..", ".kk..", ".....", ".....", ".....", ".....", ".....", ".....", "....." };
    std::vector<std::string> right_back = right;
    for (std::string& line : right_back)
        std::replace(line.begin(), line.end(), 'k', 's');
    add_if_missing("RightGrip", "", right);
    add_if_missing("RightGripBack", "", right_back);
    std::vector<std::string> bottom(5, std::string(21, '.')), bottom_back;
    for (std::size_t y = 0; y < 5; ++y)
        for (std::size_t x = 0; x < 21; ++x)
            bottom[y][x] = right[x][y];
    bottom_back = bottom;
    for (std::string& line : bottom_back)
        std::replace(line.begin(), line.end(), 'k', 's');
    add_if_missing("BottomGrip", "", bottom);
    add_if_missing("BottomGripBack", "", bottom_back);
    add_if_missing("CornerGrip", "CornerGripMask",
        { "...............", "...............", "...........wk..", "...........kk..", "...............",
            "........wk.wk..", "........kk.kk..", "...............", ".....wk.wk.wk..", ".....kk.kk.kk..",
            "...............", "..wk.wk.wk.wk..", "..kk.kk.kk.kk..", "...............", "..............." });
    add_if_missing("CornerGripUp", "CornerGripMask",
        { "...............", "...............", "...........ws..", "...........ss..", "...............",
            "........ws.ws..", "........ss.ss..", "...............", ".....ws.ws.ws..", ".....ss.ss.ss..",
            "...............", "..ws.ws.ws.ws..", "..ss.ss.ss.ss..", "...............", "..............." });
}

} // namespace My
