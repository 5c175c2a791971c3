#pragma once

// Projects on disc for the tests, the fuzz target and the benchmark of the
// project file: a scratch folder with its own settings and cache folders,
// image-sequence footage (one picture, the other members linked to it), a
// footage library, and compositions with segments, key masks, mask modes,
// processed frames and a background.

#include "document/composition/Background.h"
#include "document/composition/TLComp.h"
#include "document/segments/SegmentData.h"
#include "document/segments/TLSegment.h"
#include "document/segments/TLSegmentSet.h"
#include "foundation/files/gdiplus_codec.h"
#include "lumvex/dll.h"
#include "platform/tests/scoped_environment.h"

#include <boost/make_shared.hpp>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>

namespace project_testing {

namespace fs = std::filesystem;

using Environment = platform::testing::scoped_environment;

// A fresh folder, removed with everything in it at the end.
class Scratch {
public:
    Scratch()
    {
        std::string pattern = (fs::temp_directory_path() / "tavelo-project-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a scratch folder");
        m_root = pattern;
    }
    ~Scratch()
    {
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    std::string File(const std::string& name) const { return (m_root / name).string(); }
    const fs::path& Root() const { return m_root; }

private:
    fs::path m_root;
};

// A scratch folder, settings and cache kept inside it, and the library.
struct Workspace {
    Scratch scratch;
    Environment config { "XDG_CONFIG_HOME", scratch.File("config") };
    Environment cache { "XDG_CACHE_HOME", scratch.File("cache") };
    lumvex::dll library;
};

inline img::image<img::BGRA<unsigned char>> Picture(unsigned w, unsigned h, unsigned seed)
{
    img::image<img::BGRA<unsigned char>> picture(w, h, 4);
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x)
            picture.row(y)[x] = { static_cast<unsigned char>(x * 3 + seed), static_cast<unsigned char>(y * 5),
                static_cast<unsigned char>(seed * 7), 255 };
    return picture;
}

// Writes an image sequence folder/name_0000.png ... of count frames and
// returns the first member's path; a sequence already there is kept.
inline std::string WriteSequence(
    const std::string& folder, const std::string& name, int count, unsigned w, unsigned h, unsigned seed = 1)
{
    fs::create_directories(folder);
    auto member = [&](int i) {
        char number[16];
        std::snprintf(number, sizeof number, "_%04d.png", i);
        return (fs::path(folder) / (name + number)).string();
    };
    if (fs::exists(member(0)))
        return member(0);
    {
        std::ofstream out(member(0), std::ios::binary);
        img::gdiplus_write_bgra(out, Picture(w, h, seed), img::image_format::png, false);
    }
    for (int i = 1; i < count; ++i)
        fs::create_hard_link(member(0), member(i));
    return member(0);
}

inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

inline img::image<img::bit> Blob(unsigned w, unsigned h, unsigned x0, unsigned y0, unsigned size)
{
    img::image<img::bit> mask(w, h, 4);
    mask.fill(false);
    for (unsigned y = y0; y < std::min(h, y0 + size); ++y)
        for (unsigned x = x0; x < std::min(w, x0 + size); ++x)
            mask.at(x, y) = true;
    return mask;
}

// Gives the segment results for the frames of {first, last} (around its key
// frame): a crisp mask moving with the frame, a grey mask when grey, and a
// four-point contour.
inline void AddResults(TLSegment& segment, int first, int last, bool grey)
{
    SegmentData& engine = *segment.GetEngine();
    const types::extent<unsigned> size = segment.GetComposition().GetFrameSize();
    engine.set_range({ first, last });
    for (int f = first; f < last; ++f) {
        auto record = boost::make_shared<trm::frame_record>();
        record->bit_mask
            = Blob(size.width, size.height, static_cast<unsigned>(f) % (size.width / 2), 4, size.height / 3);
        if (grey) {
            img::image<unsigned char> g(size.width, size.height, 4);
            for (unsigned y = 0; y < size.height; ++y)
                for (unsigned x = 0; x < size.width; ++x)
                    g.row(y)[x] = static_cast<unsigned char>((x + y + f) & 0xFF);
            record->grey_mask.encode(g);
        }
        const float t = static_cast<float>(f);
        record->contour
            = { { 1.5f + t, 2.0f }, { 10.25f, 3.0f + t }, { 8.0f, 9.5f }, { 2.0f, 7.0f + t * 0.5f } };
        record->ref_frame = f == segment.GetKeyFrame() ? -1 : segment.GetKeyFrame();
        engine.store(f, record, { first, last }, grey ? My::Span { first, last } : My::Span { f, f });
    }
    const My::Span computed = engine.ComputedRange();
    segment.SetDataSpan(computed.first, computed.last);
}

// A composition on a 64 x 48 sequence of `frames` frames with a 48-frame
// background, three segments with key masks, mask modes and results, a
// work area, a current frame and export settings.
struct Project {
    static constexpr unsigned kWidth = 64;
    static constexpr unsigned kHeight = 48;

    // The footage goes to `plates` (the workspace's "plates" when empty).
    explicit Project(Workspace& workspace, int frames = 60, int processed = 10, std::string plates = {})
        : comp()
    {
        comp.SetFootageLibrary(&workspace.library);
        if (plates.empty())
            plates = workspace.scratch.File("plates");
        comp.SetFootage(
            workspace.library.create_footage(WriteSequence(plates, "shot", frames, kWidth, kHeight)));
        comp.GetBackground().SetFootage(
            workspace.library.create_footage(WriteSequence(plates, "back", 48, kWidth, kHeight, 9)));
        comp.GetBackground().SetStart(3);
        comp.GetBackground().SetTrimming(2, 40);
        comp.SetWorkArea(5, frames - 5);
        comp.SetCurrentFrame(7);
        comp.SetExportFramerate(fraction(30000, 1001));
        comp.SetExportInaccuracy(0.5f);

        const int modes[3][2]
            = { { MaskMode::Substitute, 0 }, { MaskMode::Add, 1 }, { MaskMode::Difference, 0 } };
        for (int i = 0; i < 3; ++i) {
            const int key = 10 + 5 * i;
            TLSegment* segment = comp.GetSegmentSet().CreateSegment(key);
            segment->SetMask(Blob(kWidth, kHeight, 3u * i, 5, 12), "");
            segment->SetTimeSpan(key - 2, std::min(frames, key + processed + 3));
            segment->SetMaskMode(modes[i][0], modes[i][1] != 0);
            AddResults(*segment, key, std::min(frames, key + processed), i == 1);
        }
    }

    TLComp comp;
};

} // namespace project_testing
