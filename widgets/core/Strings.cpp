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
    { 50100, "Description" },
    { 50101, "Still" },
    { 50102, "Duration" },
    { 50103, "Dimensions" },
    { 50104, "Alpha Channel" },
    { 50105, "Framerate" },
    { 50106, "Deinterlaced" },
    { 50107, "Field" },
    { 50108, "Method" },
    { 50996, "Display Mask" },
    { 50997,
        "Composing method of the mask of the segment with masks of upper segments for the same frame. The "
        "current mask can be inverted before combining." },
    { 51000,
        "The generation period of reference frames in the segment. Increase it if tracked object is changed "
        "slowly." },
    { 51001,
        "If the parameter is set, then Tavelo guesses position of tracked object, assuming that its motion "
        "can be described by affine model inside “Reference Frame Pitch” frames range. If motion of the "
        "object is slow and you wish faster processing, turn it off." },
    { 51002,
        "Upper bound on interframe displacements of tracked pixels. If the value is too small, correct "
        "matches can hardly be found, and the results will be poor." },
    { 51003,
        "Size of square image blocks used for motion tracking. Use smaller size for masks with curved or "
        "narrow parts. Larger blocks work faster but may not yield accurate results." },
    { 51004,
        "Select here one of frames (reference or target), which color information will be considered mainly "
        "during formation of next new mask. Also selection of both frames (reference and target) is "
        "possible, but the speed of processing will fall twofold." },
    { 51005,
        "The parameter selects half size of square window, which scans every point of tentative mask bound. "
        "A window should embrace enough pixels from both object and background to make reliable decision "
        "about accuracy of the bound. Therefore, the size has to be increased for fast moving objects and "
        "other hard cases. Smaller windows are processed quicker." },
    { 51007, "Value" },
    { 51008,
        "Whether to construct smooth mask from existing crisp mask for the object? Turning off the mode "
        "kindly affects not only speed of processing but memory consumption of the program also." },
    { 51009,
        "The parameter group is responsible for precise adjustment of crisp mask toward center of boundary "
        "between object and background. Turning off this method is flatly not recommended. The only reason "
        "why you may have to do that is to investigate prediction of object position obtained by optic flow "
        "method." },
    { 51011, "Work Area" },
    { 51012, "Current Frame" },
    { 51013, "Object Footage" },
    { 51014, "Tracking Bounds" },
    { 51015, "Parameters" },
    { 51016, "Reference Frame Pitch" },
    { 51017, "Downsample" },
    { 51018, "Optic Flow" },
    { 51019, "MinCut" },
    { 51021, "Refine" },
    { 51022, "Pyramid Refine" },
    { 51024, "Dilate / Erode" },
    { 51025, "\"Wool\" removal" },
    { 51026, "Decrease Mask Freedom" },
    { 51027, "Max Motion" },
    { 51028, "Tracker Size" },
    { 51029, "Information Source" },
    { 51030, "Window Half Size" },
    { 51036, "Smooth Mask" },
    { 51037, "Smooth Contour" },
    { 51038, "Freedom Degrees" },
    { 51039,
        "The more the value is the more freedom is given for the mask, therefore admitting greater variety "
        "of forms." },
    { 51040, "If the flag is set, then all the bound of the mask must be smooth without exceptions." },
    { 51041, "Iterations" },
    { 51042,
        "The method is iterative, and their quantity affects the quality of the result: more is better." },
    { 51043, "Mask" },
    { 51044, "Smooth" },
    { 51045, "Inverse" },
    { 51046, "Matte" },
    { 51047, "Color" },
    { 51048, "Opacity" },
    { 51049, "Type" },
    { 51050, "Nodes' Inertia" },
    { 51051, "Greater value here forces nodes of the spline to move more smoothly." },
    { 51052, "Tangents’ Inertia" },
    { 51053, "Greater value here forces tangents, guiding the spline, to move more smoothly." },
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
    { 51062, "Prefer" },
    { 51063,
        " The property 'Prefer' has effect in the case if 'Predominance' is significantly larger than one, "
        "thus some pixels can not be unambiguously classified as belonging or not belonging to masked "
        "object. In this case their status will be determined by this property: it either does not change "
        "(None) or changes in favor of mask (Masked Pixels) or not-mask (Unmasked Pixels)." },
    { 51064, "Tracking bounds for the segment" },
    { 51065,
        "Positive value here dilates (increases) refined mask on given number of pixels, negative - erodes "
        "(decreases)." },
    { 51066, "Pyramid Levels" },
    { 51067, "Max Motion" },
    { 51068, "Information Source" },
    { 51069, "Max Link Distance" },
    { 51070, "The more the value the more probable is the appearance of disconnected mask components." },
    { 51071, "Link Count" },
    { 51072, "Inertia" },
    { 51073,
        "This is the upper bound on possible displacement of mask on each level of pyramid. Real maximum "
        "motion is proportional to this value with coefficient 2^\"Pyramid Levels\"." },
    { 51074,
        "When the value 'Target Frame' is selected, mask on a new frame is generated largely ignoring "
        "precise position of mask border on a reference frame. However this allows Tavelo not to inherit "
        "mistakes made on reference frame." },
    { 51075, "Interframe Max Link Distance" },
    { 51076, "It is the maximum distance (in pixels) on which reference mask can affect a new mask." },
    { 51077, "Interframe Link Count" },
    { 51078,
        "It is the mean number of considered similarities (per pixel) among picture elements of two "
        "frames." },
    { 51079, "Algorithm \"MinCut\" is the alternative for \"Refine\", thus activate only one of them." },
    { 51080, "It is the number of images with lesser resolution to use during processing." },
    { 51083,
        "The number of considered similar picture elements for each pixel. If result of tacking is bad, try "
        "to increase this parameter first of all." },
    { 51084,
        "The lesser this value, the lesser number of restrictions are applied on mask displacement and "
        "appearance of unconnected components. The parameter may take any not negative values." },
    { 51085, "Antialiasing" },
    { 51086,
        "Turning on this mode allows you to receive smoothed masks built by means of \"MinCut\", and also to "
        "analyze regions, which the algorithm can't classify unambiguously." },
    { 51087, "Gray Levels (Exponent)" },
    { 51088,
        "The number of grey hues on a smoothed mask is proportional to exponent of this number. Admissible "
        "values lie in the range from 0 to 6 inclusively." },
    { 51095, "Feature Size" },
    { 51096,
        "Feature Size determines approximately the distance (in pixels) for crisp mask smoothing. For "
        "example, this can be the length of hairs on the object. Also you could try to enlarge the value in "
        "the presence of noticeable noise in the images." },
    { 51097, "Boldness" },
    { 51098,
        "The more the number you enter here the more modifications will be made in mask; however the "
        "probability of mistaken changes will increase also." },
    { 51099, "Max Passes #" },
    { 51100,
        "This is the maximum allowed number of algorithm's iterations. Every following pass makes less mask "
        "modifications than preceding one, so you can confine the number of passes to win in the speed of "
        "processing." },
    { 51107, "Decorative" },
    { 51108,
        "When the mode is turned on mask smoothing has only decorative function and does not affect tracking "
        "in subsequent frames." },
    { 51125,
        "Tracking of fast moving objects requires increase of ‘Optic Flow | Max Motion’ and ‘Refine | Window "
        "Half Size’ parameters, which heavily impact on the speed of processing. Alternative is this mode "
        "that leads to partial replacement of the footage’s frames with their low resolution copies.\nIf "
        "‘Refine | Information Source’ is in ‘Reference Frame’ or ‘Both Frames’ state, then two refining "
        "take place indeed: one with low resolution images and another with regular images, for the mask "
        "does not look like consisting from large blocks of pixels.\nDownsampling does not have direct "
        "impact on mask smoothing." },
    { 51126,
        "Larger values of the parameter lead to elimination of wider excrescences and cavities in mask, "
        "arising after Refine algorithm." },
    { 51128, "Decision Threshold" },
    { 51130,
        "Critical ratio of similar colored pixels from different classes, required to make a decision about "
        "mask change in favor of bigger class." },
    { 51131,
        "Typically tracked objects have smooth contour almost everywhere, except probably some places. "
        "Refine algorithms do not consider this circumstance, every pixel along mask bound is added "
        "independently, thus observed smoothness may be disturbed. This mode is intended for compensation of "
        "drawback stated.\n\nCurrently Decreasing is working now only for masks those consist from single "
        "simply-connected area. Also the algorithm is not optimized for masks those touch a bound of the "
        "frame." },
    { 51132, "Max Motion" },
    { 51133,
        "Maximum allowed displacement of mask's border in pixels relative to reference frame. It makes sense "
        "to diminish this value to disallow false joining of adjacent areas to the mask. However excessive "
        "small value leads to lag of the mask from the object and to the development of \"tails\"." },
    { 51134, "Max Level" },
    { 51135,
        "Additional restriction on the top level of images pyramid. If the object or its constitutive parts "
        "are too small, then processing of too much diminished image may give false results." },
    { 51136, "Mode" },
    { 51137, "\n" },
    { 51138, "Inverted" },
    { 51139, "\n" },
    { 55001, "First" },
    { 55002, "Last" },
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
