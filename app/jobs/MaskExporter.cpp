#include "app/jobs/MaskExporter.h"

#include "app/jobs/MaskSaveDlg.h"
#include "document/composition/TLComp.h"
#include "document/project/FootageFiles.h"
#include "document/segments/MaskCombine.h"
#include "document/segments/TLSegmentSet.h"
#include "engine/frame_record.h"
#include "foundation/files/bmp_writer.h"
#include "foundation/files/byte_stream.h"
#include "foundation/files/kept_files.h"
#include "lumvex/footage/footage.h"
#include "lumvex/path.h"
#include "platform/gui/messages.h"
#include "widgets/core/Prompt.h"

#include <array>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <type_traits>

namespace {

// The footage's file name without folder and extension, as a .bmp pattern;
// with "_mask" (then "_mask2", ...) after the name when the pattern's files
// (in the folder the dialog starts in) would include a kept one.
std::string SuggestedName(const TLComp& composition, const kept_files& kept)
{
    const auto& footage = composition.GetFootage();
    const std::string stem
        = footage ? std::filesystem::path(paths::native(footage->path())).stem().string() : std::string();
    return make_numbered_pattern(first_untaken_path(stem + ".bmp", "_mask", [&kept](const std::string& name) {
        return kept.holds_any(NumberedFileName(make_numbered_pattern(name)));
    }));
}

template <class T> void WriteRows(const std::string& path, const img::image<T>& rows, std::uint16_t bits)
{
    try {
        xtd::write_binary_file(path, [&](std::ostream& out) {
            img::bmp_writer writer(out);
            writer.bit_count = bits;
            if constexpr (std::is_same_v<T, img::bit>) {
                writer.pixel_offset = 62;
                writer.write_headers(rows.width, rows.height, rows.size);
                const std::array<unsigned char, 8> palette { 0, 0, 0, 0, 255, 255, 255, 0 };
                out.write(reinterpret_cast<const char*>(palette.data()), palette.size());
                writer.write_buffer(rows.data, rows.size);
            } else {
                writer.write(rows);
            }
        });
    } catch (const std::exception& error) {
        throw std::runtime_error("Cannot write the file " + path + ": " + error.what());
    }
}

// A copy with bottom-up rows aligned to 4 bytes, padding cleared.
template <class T> img::image<T> BottomUp(const img::image<T>& mask)
{
    img::image<T> rows(mask.width, mask.height, 4);
    rows.top_down = false;
    rows.update_rows();
    if (rows.data)
        std::memset(rows.data, 0, rows.size);
    const std::size_t bytes = std::size_t(img::row_bytes<T>(mask.width));
    for (unsigned y = 0; y < mask.height; ++y)
        std::memcpy(rows.rows[y], mask.rows[y], bytes);
    if constexpr (std::is_same_v<T, img::bit>) {
        // Bits right of the last pixel are written as clear.
        const unsigned used = mask.width % 8;
        if (used != 0)
            for (unsigned y = 0; y < mask.height; ++y)
                rows.rows[y][bytes - 1] &= static_cast<unsigned char>(0xFF00u >> used);
    }
    return rows;
}

} // namespace

MaskExporter::MaskExporter(TLComp& composition, My::MessageQueue* queue)
    : Renderer(composition, queue)
{
}

MaskExporter::~MaskExporter()
{
    join();
}

CrispMaskExporter::~CrispMaskExporter() = default;

SmoothMaskExporter::~SmoothMaskExporter() = default;

void MaskExporter::CollectFrames()
{
    const TLComp& composition = GetComposition();
    const My::Span area = composition.GetWorkArea();
    m_frames.clear();
    m_frames.resize(area.last > area.first ? std::size_t(area.last - area.first) : 0);
    for (int f = area.first; f < area.last; ++f)
        composition.GetSegmentSet().CollectMaskLayers(
            f, CollectEncoded(), m_frames[std::size_t(f - area.first)]);
}

void MaskExporter::ExportMasks(CWnd* parent)
{
    std::unique_ptr<MaskExporter> self(this);
    CollectFrames();
    for (const auto& layers : m_frames) {
        if (!layers.empty())
            continue;
        if (My::MessageBox("Some frames in the work area do not contain computed masks.\nTherefore these "
                           "frames will be skipped during output. Proceed?",
                My::MB_OKCANCEL | My::MB_ICONEXCLAMATION)
            != My::IDOK)
            return;
        break;
    }
    // No mask file may be written over a file the composition reads.
    const kept_files kept(FootageFiles(GetComposition()));
    std::string name = SuggestedName(GetComposition(), kept);
    bool greyscale = m_greyscale;
    for (;;) {
        MaskSaveDlg dialog("bmp", name, "Bitmap files (*.bmp)|*.bmp||", ShowGreyscaleOption(), parent);
        dialog.SetTitle("Export Masks to");
        dialog.m_greyscale = greyscale;
        if (dialog.DoModal() != IDOK)
            return;
        name = dialog.GetPathName();
        greyscale = dialog.m_greyscale;
        if (!kept.holds_any(NumberedFileName(name)))
            break;
        // Asked again, as a save dialog does with a name it refuses: the
        // user sees the refused name and changes it or cancels.
        My::MessageBox(kept_file_message, My::MB_ICONEXCLAMATION);
    }
    m_greyscale = greyscale;
    m_names.Parse(name);
    m_progress.Create(parent, false);
    m_progress.Start(int(m_frames.size()), 0);
    m_progress.SetCaption("Exporting masks...");
    StartThread();
    self.release();
}

void MaskExporter::run()
{
    const int count = int(m_frames.size());
    for (int i = m_progress.GetPosition(); i < count; i = m_progress.GetPosition()) {
        ExportFrame(std::size_t(i), m_names.Next());
        if (!m_progress.Step()) {
            PostNotice("Exporting interrupted by user.");
            break;
        }
    }
    PostDelete();
}

void CrispMaskExporter::ExportFrame(std::size_t index, const std::string& name)
{
    const auto& layers = m_frames.at(index);
    if (layers.empty())
        return;
    const img::image<img::bit> mask = CombineCrispMasks(layers);
    if (m_greyscale)
        WriteMaskBitmap(name, img::image<unsigned char>(img::two_value_view { mask, 0, 255 }));
    else
        WriteMaskBitmap(name, mask);
}

void SmoothMaskExporter::ExportFrame(std::size_t index, const std::string& name)
{
    const auto& layers = m_frames.at(index);
    if (layers.empty())
        return;
    WriteMaskBitmap(name, CombineSmoothMasks(layers));
}

img::image<img::bit> CombineCrispMasks(const std::vector<MaskLayer>& layers)
{
    img::image<img::bit> result;
    bool first = true;
    for (const MaskLayer& layer : layers) {
        if (!layer.record)
            continue;
        combine_bit_masks(result, layer.record->bit_mask, layer.mode.mode, layer.mode.inverted, first);
        first = false;
    }
    return result;
}

img::image<unsigned char> CombineSmoothMasks(const std::vector<MaskLayer>& layers)
{
    img::image<unsigned char> result;
    img::image<unsigned char> grey;
    bool first = true;
    for (const MaskLayer& layer : layers) {
        if (!layer.record)
            continue;
        if (!is_empty(layer.record->grey_mask))
            layer.record->grey_mask.decode(grey);
        else
            grey = img::two_value_view { layer.record->bit_mask, 0, 255 };
        combine_masks(result, grey, layer.mode.mode, layer.mode.inverted, first);
        first = false;
    }
    return result;
}

void WriteMaskBitmap(const std::string& path, const img::image<img::bit>& mask)
{
    WriteRows(path, BottomUp(mask), 1);
}

void WriteMaskBitmap(const std::string& path, const img::image<unsigned char>& mask)
{
    WriteRows(path, BottomUp(mask), 8);
}
