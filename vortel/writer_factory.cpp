#include "vortel/writer_factory.h"

#include "foundation/files/numbered_file_name.h"
#include "lumvex/avi/avi_file.h"
#include "lumvex/path.h"
#include "platform/gui/file_dialog.h"
#include "platform/gui/message_box.h"
#include "vortel/avi_writer.h"
#include "vortel/codec_registry.h"
#include "vortel/field_interlacing_writer.h"
#include "vortel/image_sequence_writer.h"
#include "vortel/settings.h"
#include "vortel/text.h"

#include <limits>
#include <vector>

namespace vortel {

namespace {

void tell(const std::string& text)
{
    platform::MessageBox(text, platform::MB_ICONEXCLAMATION | platform::MB_OK);
}

} // namespace

std::string render_filter()
{
    const std::string images = img::codec_registry().filter();
    return "AVI Video (*.avi)|*.avi|Image Sequence (" + images + ")|" + images + "||";
}

namespace {

// The output at `path` (an AVI file, or the numbered files of its pattern)
// would write over a kept file.
bool writes_over(const std::string& path, bool avi, const kept_files& kept)
{
    return avi ? kept.holds(path) : kept.holds_any(NumberedFileName(path));
}

} // namespace

std::string proposed_render_path(const std::string& path, const std::string& format, const kept_files& kept)
{
    std::string proposed = path;
    paths::replace_extension(proposed, format);
    const bool avi = equal_ignoring_case(format, "avi");
    if (proposed.empty())
        return proposed;
    if (!kept.empty())
        proposed = first_untaken_path(proposed, "_render", [&](const std::string& candidate) {
            return writes_over(avi ? candidate : make_numbered_pattern(candidate), avi, kept);
        });
    return avi ? proposed : make_numbered_pattern(proposed);
}

int proposed_filter_index(const std::string& format)
{
    return equal_ignoring_case(format, "avi") ? 1 : 2;
}

namespace {

// The extensions a filter's patterns name ("*.BMP;*.TGA" gives BMP, TGA).
std::vector<std::string> pattern_extensions(const std::string& patterns)
{
    std::vector<std::string> out;
    std::size_t at = 0;
    while (at <= patterns.size()) {
        std::size_t end = patterns.find(';', at);
        if (end == std::string::npos)
            end = patterns.size();
        const std::string pattern = patterns.substr(at, end - at);
        if (pattern.size() > 2 && pattern.compare(0, 2, "*.") == 0)
            out.push_back(pattern.substr(2));
        at = end + 1;
    }
    return out;
}

} // namespace

std::string typed_render_path(const std::string& path, const std::string& filter, int filter_index)
{
    const auto filters = parse_file_filter(filter);
    if (filter_index < 1 || std::size_t(filter_index) > filters.size())
        return path;
    const std::vector<std::string> listed = pattern_extensions(filters[std::size_t(filter_index) - 1].second);
    if (listed.empty())
        return path;
    const std::string added = file_extension(path);
    if (!equal_ignoring_case(added, listed.front()))
        return path;
    const std::string typed = path.substr(0, path.size() - added.size() - 1);
    const std::string inner = file_extension(typed);
    if (inner.empty())
        return path;
    for (const std::string& extension : listed)
        if (equal_ignoring_case(extension, inner))
            return typed;
    return path;
}

std::unique_ptr<writer> settings::open_writer(const types::extent<unsigned>& size, fraction rate,
    std::string path, const std::string& title, CWnd* parent, const std::vector<std::string>& kept)
{
    const kept_files kept_set(kept);
    std::string name = proposed_render_path(path, format, kept_set);
    int filter_index = proposed_filter_index(format);
    for (;;) {
        CFileDialog dialog(false, format, name,
            OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_ENABLESIZING,
            render_filter(), parent);
        dialog.SetTitle(title.empty() ? "Render to" : title);
        dialog.SetFilterIndex(filter_index);
        if (dialog.DoModal() != platform::IDOK)
            return nullptr;
        filter_index = dialog.GetFilterIndex();
        name = typed_render_path(dialog.GetPathName(), render_filter(), filter_index);
        // A name refused for the project's own files is asked for again, as
        // a save dialog does with any name it refuses; the user sees the
        // refused name and changes it or cancels.
        if (kept_set.empty()
            || !writes_over(name, equal_ignoring_case(file_extension(name), "avi"), kept_set))
            return silent_open_writer(size, rate, name, kept);
        tell(kept_file_message);
    }
}

std::unique_ptr<writer> settings::silent_open_writer(const types::extent<unsigned>& size, fraction rate,
    std::string path, const std::vector<std::string>& kept)
{
    // Checked first, so that an unusable mode makes no file.
    if (field < 0 || field > 2)
        return nullptr;
    const std::string extension = file_extension(path);
    if (!kept.empty() && writes_over(path, equal_ignoring_case(extension, "avi"), kept_files(kept))) {
        tell(kept_file_message);
        return nullptr;
    }
    std::unique_ptr<writer> out;
    if (equal_ignoring_case(extension, "avi")) {
        if (!encoder.is_open()) {
            tell("Please choose AVI coder in Rendering Settings dialog.");
            return nullptr;
        }
        if (rate.numerator <= 0 || rate.denominator == 0)
            throw img::avi::exception("invalid AVI frame rate");
        std::uint64_t numerator = std::uint32_t(rate.numerator);
        std::uint64_t denominator = rate.denominator;
        // Two rendered frames make one stored frame.
        if (field != 0) {
            if (denominator * 2 <= std::numeric_limits<std::uint32_t>::max())
                denominator *= 2;
            else if (numerator % 2 == 0)
                numerator /= 2;
            else
                throw img::avi::exception("invalid AVI frame rate");
        }
        avi_stream_params params { size.width, size.height, std::uint32_t(numerator),
            std::uint32_t(denominator), alpha };
        out = std::make_unique<avi_writer>(encoder, path, params);
    } else {
        if (!equal_ignoring_case(extension, format) && !img::codec_registry().supports(extension)) {
            tell("Entered format (file extension) is not supported.");
            return nullptr;
        }
        out = std::make_unique<image_sequence_writer>(path, alpha, extension);
    }
    if (field == 0)
        return out;
    return std::make_unique<field_interlacing_writer>(std::move(out), field == 1);
}

} // namespace vortel
