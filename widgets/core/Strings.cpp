#include "widgets/core/Strings.h"

#include <algorithm>
#include <iterator>

namespace My {

namespace {

struct Entry {
    std::uint32_t id;
    const char* text;
};

// The built-in texts, in ascending order of identifier.
constexpr Entry g_builtIn[] = {
    { 50001, "Open Project" },
    { 50002, "" },
    { 50003, "Tavelo Project (*.tvp)|*.tvp||" },
    { 50004, "The project has been modified.\nDo you want to save the changes?" },
    { 50005, "saving project" },
    { 50006, "Save Project As" },
    { 50007, "Tavelo Project (*.tvp)|*.tvp||" },
    { 50008, "Undo %s" },
    { 50009, "Redo %s\tCtrl+Shift+Z" },
    { 50010, "Redo %s" },
    { 50011, "opening project" },
    { 50012, "Undo %s\tCtrl+Z" },
    { 50996, "Display Mask" },
    { 50997,
        "Composing method of the mask of the segment with masks of upper segments for the same frame. The "
        "current mask can be inverted before combining." },
    { 51011, "Work Area" },
    { 51012, "Current Frame" },
    { 51013, "Object Footage" },
    { 51014, "Tracking Bounds" },
    { 51015, "Parameters" },
    { 51054, "creating new project from a footage" },
    { 51056, "Export" },
    { 51057,
        "The choice of these parameters affects only the way data are exported from Tavelo and has no "
        "visible consequences for the video data loaded to Tavelo." },
    { 51058, "Framerate" },
    { 51059,
        "True framerate of the foreground and background footages. Correct setting of this value is "
        "important only if motion parameters are going to be exported. To adjust the playback framerate "
        "in view window, use Time Controls Panel instead." },
    { 51060, "Inaccuracy" },
    { 51061,
        "Admissible root-mean-square inaccuracy in pixel units in transferring control points of Bezier "
        "spline, specifying contour of mask. Greater values decrease the number of motion interpolation "
        "keyframes. The value of 0 means that mask shape will be transferred lossless." },
    { 51064, "Tracking bounds for the segment" },
};

static_assert(std::is_sorted(
    std::begin(g_builtIn), std::end(g_builtIn), [](const Entry& a, const Entry& b) { return a.id < b.id; }));

const StringSource* g_source = nullptr;

} // namespace

std::string LoadString(std::uint32_t id)
{
    std::string text;
    if (g_source && g_source->Find(id, text))
        return text;
    auto it = std::lower_bound(std::begin(g_builtIn), std::end(g_builtIn), id,
        [](const Entry& entry, std::uint32_t key) { return entry.id < key; });
    if (it != std::end(g_builtIn) && it->id == id)
        return it->text;
    return {};
}

const StringSource* SetStringSource(const StringSource* source)
{
    const StringSource* previous = g_source;
    g_source = source;
    return previous;
}

std::string FormatString(const std::string& format, const std::string& argument)
{
    std::string out;
    out.reserve(format.size() + argument.size());
    bool substituted = false;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            const char next = format[i + 1];
            if (next == '%') {
                out += '%';
                ++i;
                continue;
            }
            if (next == 's' && !substituted) {
                out += argument;
                substituted = true;
                ++i;
                continue;
            }
        }
        out += format[i];
    }
    return out;
}

} // namespace My
