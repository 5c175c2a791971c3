#include "document/segments/MaskMode.h"

#include "foundation/xml/xml_stream.h"

#include <string>

namespace {

const char* const kModeWords[]
    = { "None", "Add", "Subtract", "Intersect", "Lighten", "Darken", "Difference", "Substitute" };
constexpr int kModeCount = 8;

} // namespace

xml::stream& operator||(xml::stream& s, MaskMode& mode)
{
    if (s.reading) {
        const std::string word = s.read<std::string>("mode", std::string());
        mode.mode = MaskMode::Add;
        for (int i = 0; i < kModeCount; ++i)
            if (word == kModeWords[i])
                mode.mode = i;
        mode.inverted = s.read<bool>("inverted", false);
    } else {
        // A value outside the table (never set by the setters) is written as
        // the word it reads back as.
        const int index = mode.mode >= 0 && mode.mode < kModeCount ? mode.mode : MaskMode::Add;
        s.write("mode", std::string(kModeWords[index]));
        s.write("inverted", mode.inverted);
    }
    return s;
}
