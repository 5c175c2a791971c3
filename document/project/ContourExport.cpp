#include "document/project/ContourExport.h"

#include "contours/key_frames.h"
#include "document/composition/TLComp.h"
#include "document/project/FootageFiles.h"
#include "document/project/FramerateText.h"
#include "document/segments/SegmentData.h"
#include "document/segments/TLSegment.h"
#include "document/segments/TLSegmentSet.h"
#include "foundation/files/byte_stream.h"
#include "foundation/files/kept_files.h"
#include "foundation/system/exception.h"
#include "widgets/core/Prompt.h"

#include <ios>
#include <locale>
#include <sstream>
#include <vector>

namespace {

constexpr std::uint32_t kCopyContour = 33224;
constexpr std::uint32_t kExportContour = 33225;

struct ContourFrame {
    int frame;
    contours::outline outline;
};

bool SamePointCounts(const std::vector<ContourFrame>& frames)
{
    for (const ContourFrame& f : frames)
        if (f.outline.points.size() != frames.front().outline.points.size())
            return false;
    return true;
}

// The indices of the frames to write.
std::vector<int> ChooseFrames(const std::vector<ContourFrame>& frames, float tolerance)
{
    const int n = static_cast<int>(frames.size());
    std::vector<int> chosen;
    if (n == 0)
        return chosen;
    if (tolerance <= 0.0f || !SamePointCounts(frames)) {
        for (int i = 0; i < n; ++i)
            chosen.push_back(i);
        return chosen;
    }
    std::vector<contours::outline> outlines;
    outlines.reserve(frames.size());
    for (const ContourFrame& f : frames)
        outlines.push_back(f.outline);
    const double bound = static_cast<double>(tolerance) * tolerance
        * static_cast<double>(outlines.front().points.size()) * n;
    contours::select_key_frames(outlines, bound, chosen);
    chosen.push_back(n - 1);
    return chosen;
}

} // namespace

void WriteContourText(const TLSegment& segment, std::ostream& out)
{
    const TLComp& comp = segment.GetComposition();
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << "Animated Bezier Contour\n";
    text << "Framerate " << FramerateText(TLComp::ValidExportFramerate(comp.GetExportFramerate())) << "\n";

    std::vector<ContourFrame> frames;
    const My::Span span = segment.GetDataSpan();
    for (int f = span.first; f < span.last; ++f) {
        const auto record = segment.GetEngine()->frame_data(f);
        if (!record)
            continue;
        ContourFrame frame { f, {} };
        frame.outline.points = record->contour;
        frame.outline.time = static_cast<float>(f - span.first);
        frames.push_back(std::move(frame));
    }
    for (int index : ChooseFrames(frames, comp.GetExportInaccuracy())) {
        const ContourFrame& frame = frames[static_cast<std::size_t>(index)];
        text << "\nFrame " << frame.frame << "\n";
        for (const pointf& p : frame.outline.points)
            text << p.x << '\t' << p.y << '\n';
    }
    out << text.str();
}

std::string ContourText(const TLSegment& segment)
{
    std::ostringstream out;
    WriteContourText(segment, out);
    return out.str();
}

void ExportContourFile(const TLSegment& segment, const std::string& path)
{
    const std::string text = ContourText(segment);
    // Saved as every file is: a file being replaced stays as it was until
    // the new one is complete.
    try {
        xtd::write_binary_file(path, [&text](std::ostream& out) { out << text; });
    } catch (const std::ios_base::failure& error) {
        std::string reason = xtd::system_reason(error);
        if (reason.empty())
            reason = error.what();
        throw xtd::exception("Cannot write contour file '" + path + "': " + reason);
    }
}

bool CanExportContour(const TLSegment& segment)
{
    const My::Span span = segment.GetDataSpan();
    return segment.GetParams().decrease_mask_freedom && span.last > span.first;
}

ContourCommands::ContourCommands(TLComp& composition, ContourHost* host)
    : m_composition(composition)
    , m_host(host)
{
    auto enabled = [this](My::CommandUI& ui) {
        const TLSegment* segment = Target();
        ui.Enable(segment && CanExportContour(*segment));
    };
    m_commands.Add(
        kCopyContour,
        [this] {
            const TLSegment* segment = Target();
            if (!segment || !m_host || !CanExportContour(*segment))
                return;
            struct Wait {
                ContourHost& host;
                explicit Wait(ContourHost& h)
                    : host(h)
                {
                    host.BeginWaitCursor();
                }
                ~Wait() { host.EndWaitCursor(); }
            } wait(*m_host);
            m_host->CopyLinesToClipboard(ContourText(*segment));
        },
        enabled);
    m_commands.Add(
        kExportContour,
        [this] {
            const TLSegment* segment = Target();
            if (!segment || !m_host || !CanExportContour(*segment))
                return;
            // Never written over a file the composition reads: such a name
            // is asked for again, as a save dialog does with a name it
            // refuses, so the user sees it and changes it or cancels.
            const kept_files kept(FootageFiles(m_composition));
            std::string path;
            for (;;) {
                path = m_host->ChooseContourFile(path);
                if (path.empty())
                    return;
                if (!kept.holds(path))
                    break;
                My::MessageBox(kept_file_message, My::MB_ICONEXCLAMATION);
            }
            // On failure the name stays pushed for the report.
            My::PushOperation("exporting contour");
            ExportContourFile(*segment, path);
            My::PopOperation();
        },
        enabled);
}

TLSegment* ContourCommands::Target() const
{
    return m_composition.IsEmpty() ? nullptr : m_composition.GetSegmentSet().GetSelected();
}

bool ContourCommands::RouteCommand(My::CommandEventBase& event)
{
    return m_commands.Dispatch(event);
}
