#include "document/segments/TLSegment.h"

#include "document/composition/TLComp.h"
#include "document/segments/SegmentHost.h"
#include "document/segments/TLSegmentSet.h"
#include "foundation/files/bmp_reader.h"
#include "foundation/files/bmp_writer.h"
#include "foundation/files/byte_stream.h"
#include "widgets/core/Prompt.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

// The key mask commands: reading a 1-bit BMP as the key mask and writing the
// key mask as one.

void TLSegment::ImportKeyMask()
{
    if (m_processing)
        return;
    SegmentHost* host = m_set->GetHost();
    const std::string path = host ? host->ChooseKeyMaskFile(false) : std::string();
    if (path.empty())
        return;
    My::PushOperation("importing mask");
    img::image<img::bit> read;
    // A file that cannot be read leaves the name pushed for the report.
    img::read_bmp_file(path, read);
    My::PopOperation();

    const std::uint64_t set = read.count();
    const std::uint64_t all = std::uint64_t(read.width) * read.height;
    if (set == 0 || set == all) {
        const std::string text
            = "Bitmap (" + path + ") contains no " + (set == 0 ? "white" : "black") + " pixels.\nProceed?";
        if (My::MessageBox(text, My::MB_OKCANCEL | My::MB_ICONEXCLAMATION) != My::IDOK)
            return;
    }
    const types::extent<unsigned> size = GetComposition().GetFrameSize();
    if (read.width != size.width || read.height != size.height) {
        const std::string text
            = "Dimensions of the bitmap (" + path + ") differ from composition dimensions.\nProceed?";
        if (My::MessageBox(text, My::MB_OKCANCEL | My::MB_ICONEXCLAMATION) != My::IDOK)
            return;
    }
    // The engine works on top-down masks with 4-byte rows. Every byte is
    // cleared first: the padding at the rows' ends too, which the mask's
    // PNG form in the project file carries. A bitmap of another size lies
    // at the top left, clipped.
    img::image<img::bit> mask(size.width, size.height, 4);
    mask.fill(false);
    const unsigned width = std::min(size.width, read.width);
    const unsigned height = std::min(size.height, read.height);
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x)
            mask.at(x, y) = static_cast<bool>(read.at(x, y));
    SetMask(mask, std::string());
}

void TLSegment::ExportKeyMask()
{
    const img::image<img::bit>& key = GetMask();
    if (!key.data)
        return;
    SegmentHost* host = m_set->GetHost();
    const std::string path = host ? host->ChooseKeyMaskFile(true) : std::string();
    if (path.empty())
        return;
    My::PushOperation("exporting mask");
    img::write_bmp_file(path, key);
    My::PopOperation();
}
