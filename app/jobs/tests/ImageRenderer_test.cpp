// Rendering the work area on the job's thread: the job's own deletion on
// every path (refused output, failed frame, cancel), the closing guard, and
// real outputs (AVI with MJPEG and FFV1, PNG and TGA sequences) read back by
// our readers and by the codec library's demuxer.

#include "app/jobs/ImageRenderer.h"

#include "app/display/DisplayStyle.h"
#include "app/display/PaintingKey.h"
#include "app/display/PaintingSource.h"
#include "app/display/tests/painting_test_support.h"
#include "app/jobs/tests/job_test_support.h"
#include "document/composition/Background.h"
#include "foundation/files/gdiplus_codec.h"
#include "foundation/files/image_error.h"
#include "foundation/system/regprofile.h"
#include "lumvex/dll.h"
#include "lumvex/files/image_codec.h"
#include "lumvex/footage/footage.h"
#include "platform/gui/messages.h"
#include "platform/tests/avi_reference.h"
#include "platform/tests/avi_samples.h"
#include "platform/video/avi_file.h"
#include "platform/video/video_compressor.h"
#include "vortel/settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sys/resource.h>
#include <system_error>

namespace {

using namespace job_testing;
namespace fs = std::filesystem;

// Chooses the AVI compressor of `code` as the settings dialog stores it.
bool ChooseCompressor(vortel::settings& settings, const std::string& code)
{
    if (!platform::video_compressor::open(platform::mmioFOURCC(code[0], code[1], code[2], code[3])))
        return false;
    regprofile::key key(platform::registry_root::current_user, vortel::settings_key, true, true);
    key.write_string("encoder", code);
    settings.read_registry();
    settings.format = "avi";
    return settings.encoder.is_open();
}

DisplayStyle MattedStyle()
{
    DisplayStyle style;
    style.type = DisplayType::MattedForeground;
    style.smooth = false;
    style.inverse = false;
    style.matte = { 255, 0, 0, 128 };
    return style;
}

struct Render : Project {
    painting_testing::ListCache cache;
    vortel::settings settings;
    DisplayStyle style = MattedStyle();

    explicit Render(int frames)
        : Project(frames)
    {
    }
    ImageRenderer* Make() { return new ImageRenderer(comp, cache, RenderKeys(comp, style)); }
    // Starts a render to `path` (the file dialog's answer).
    ImageRenderer* StartTo(const std::string& path, ImageRenderer* job = nullptr)
    {
        if (!job)
            job = Make();
        job->Start(Chosen(path), nullptr);
        return job;
    }
    // The render file dialog answered with `path` (empty: cancelled).
    ImageRenderer::WriterOpener Chosen(const std::string& path)
    {
        return [this, path](const types::extent<unsigned>& size, fraction rate, const std::string& proposed,
                   const std::string& title, CWnd*,
                   const std::vector<std::string>& kept) -> std::unique_ptr<vortel::writer> {
            proposedPath = proposed;
            proposedTitle = title;
            proposedSize = size;
            proposedRate = rate;
            proposedKept = kept;
            if (path.empty())
                return nullptr;
            return settings.silent_open_writer(size, rate, path, kept);
        };
    }
    std::string proposedPath, proposedTitle;
    std::vector<std::string> proposedKept;
    types::extent<unsigned> proposedSize;
    fraction proposedRate;
    // What the view would show at frame f, as BGR bytes.
    std::vector<std::uint8_t> Expected(int f)
    {
        img::image<img::BGRA<unsigned char>> out;
        RenderKeys(comp, style)(f)->Paint(out, 0);
        return Bgr(out);
    }
    static std::vector<std::uint8_t> Bgr(const img::image<img::BGRA<unsigned char>>& image)
    {
        std::vector<std::uint8_t> bytes;
        for (unsigned y = 0; y < image.height; ++y)
            for (unsigned x = 0; x < image.width; ++x) {
                const auto p = image.at(x, y).get();
                bytes.insert(bytes.end(), { p.b, p.g, p.r });
            }
        return bytes;
    }
    static std::vector<std::uint8_t> Bgr(const std::vector<std::uint8_t>& bgra)
    {
        std::vector<std::uint8_t> bytes;
        for (std::size_t i = 0; i + 3 < bgra.size(); i += 4)
            bytes.insert(bytes.end(), { bgra[i], bgra[i + 1], bgra[i + 2] });
        return bytes;
    }
    // Starts a render to `path` and presses Cancel while frame `f` is being
    // read; returns once the job has ended, the user told of the
    // interruption.
    void CancelAt(const std::string& path, int f)
    {
        footage->SetGate(f);
        ImageRenderer* job = StartTo(path);
        ASSERT_TRUE(footage->WaitReached());
        job->GetProgress().GetWindow().PressCancel();
        footage->Release();
        ASSERT_TRUE(WaitForJobs());
        ASSERT_EQ(prompts.prompt.texts.size(), 1u);
        EXPECT_EQ(prompts.prompt.texts[0], "Rendering interrupted by user.");
    }
    std::size_t CountFiles() const
    {
        std::size_t n = 0;
        for (const auto& e : fs::directory_iterator(folder.root()))
            n += e.is_regular_file() ? 1 : 0;
        return n;
    }
};

TEST(ImageRenderer, CancelledFileDialogLeavesNoJobAndTheProjectCloses)
{
    Render r(10);
    r.StartTo("");
    EXPECT_EQ(r.proposedPath, r.folder.file("walk.avi"));
    EXPECT_EQ(r.proposedTitle, "");
    EXPECT_EQ(r.proposedSize, (types::extent<unsigned> { kWidth, kHeight }));
    EXPECT_EQ(r.proposedRate.numerator, r.comp.GetExportFramerate().numerator);
    EXPECT_EQ(r.comp.GetRunningJobs(), 0);
    EXPECT_TRUE(r.comp.CanClose());
    EXPECT_TRUE(r.prompts.prompt.texts.empty());
}

TEST(ImageRenderer, TheSuggestionIsTheFootageAsTheSystemNamesIt)
{
    Render r(10);
    // A project file names its footage with "\\" between folders.
    std::string stored = r.folder.file("walk.avi");
    std::replace(stored.begin(), stored.end(), '/', '\\');
    r.comp.SetFootage(boost::make_shared<NamedFootage>(10, stored));
    r.StartTo("");
    EXPECT_EQ(r.proposedPath, r.folder.file("walk.avi"));
    EXPECT_EQ(r.proposedKept, std::vector<std::string> { r.folder.file("walk.avi") });
}

TEST(ImageRenderer, RefusedOutputDeletesTheJobAtOnce)
{
    Render r(10);
    r.settings.format = "avi";
    // No compressor chosen: the library tells the user and opens nothing.
    r.StartTo(r.folder.file("out.avi"));
    EXPECT_EQ(r.comp.GetRunningJobs(), 0);
    EXPECT_FALSE(fs::exists(r.folder.file("out.avi")));
}

TEST(ImageRenderer, OutputThatCannotBeOpenedDeletesTheJobAndPassesTheError)
{
    Render r(10);
    if (!ChooseCompressor(r.settings, "MJPG"))
        GTEST_SKIP() << "no MJPEG compressor";
    EXPECT_ANY_THROW(r.StartTo(r.folder.file("missing/out.avi")));
    EXPECT_EQ(r.comp.GetRunningJobs(), 0);
}

TEST(ImageRenderer, FailedFrameIsReportedAndTheJobStillEnds)
{
    Render r(10);
    r.comp.SetWorkArea(0, 6);
    r.settings.format = "png";
    // A frame without a key cannot be painted.
    auto keys = RenderKeys(r.comp, r.style);
    r.StartTo(r.folder.file("f_[##].png"), new ImageRenderer(r.comp, r.cache, [keys](int f) {
        return f == 3 ? boost::shared_ptr<PaintingKey>() : keys(f);
    }));
    EXPECT_EQ(r.comp.GetRunningJobs(), 1);
    EXPECT_FALSE(r.comp.CanClose());
    ASSERT_TRUE(r.WaitForJobs());
    ASSERT_EQ(r.prompts.prompt.texts.size(), 2u);
    EXPECT_EQ(r.prompts.prompt.texts[0], "Please, wait until rendering and mask exporting are finished.");
    EXPECT_FALSE(r.prompts.prompt.texts[1].empty());
    // A failed render leaves nothing of its own: not the frames before the
    // failure, nor their temporary files.
    EXPECT_EQ(r.CountFiles(), 0u);
    EXPECT_TRUE(r.comp.CanClose());
}

// Every frame goes out at the composition's frame size: a painted frame of
// another size fails the render, naming the frame and both sizes, and the
// files it was to replace stay.
TEST(ImageRenderer, FrameOfAnotherSizeIsRefusedNamingTheFrameAndBothSizes)
{
    for (const std::string output : { "f_[##].png", "render.avi" }) {
        Render r(8);
        r.comp.SetFootage(boost::make_shared<SceneFootage>(8, 3));
        r.style.type = DisplayType::ForegroundOnly;
        if (output == "render.avi" && !ChooseCompressor(r.settings, "DIB "))
            GTEST_SKIP() << "uncompressed frames are not offered";
        if (output != "render.avi")
            r.settings.format = "png";
        r.StartTo(r.folder.file(output));
        ASSERT_TRUE(r.WaitForJobs());
        ASSERT_EQ(r.prompts.prompt.texts.size(), 1u) << output;
        EXPECT_EQ(r.prompts.prompt.texts[0], "Frame 3 is 66 x 48 pixels, but the render is 64 x 48 pixels.");
        EXPECT_EQ(r.CountFiles(), 0u) << output;
    }
}

TEST(ImageRenderer, SequencesHoldEveryWorkAreaFrameAsTheViewShowsIt)
{
    for (const std::string format : { "png", "tga" }) {
        Render r(30);
        r.AddSegment(0, 30, false);
        r.comp.SetWorkArea(5, 25);
        r.settings.format = format;
        ImageRenderer* job = r.StartTo(r.folder.file("seq_[###]." + format));
        EXPECT_EQ(job->GetFrames().size(), 20u);
        EXPECT_EQ(job->GetFrames().front()->GetFrame(), 5);
        ASSERT_TRUE(r.WaitForJobs()) << format;
        EXPECT_TRUE(r.prompts.prompt.texts.empty());
        EXPECT_EQ(r.CountFiles(), 20u);
        // Our footage library reads the files back as one image sequence.
        lumvex::dll library;
        const auto sequence = library.create_footage(r.folder.file("seq_000." + format));
        ASSERT_EQ(sequence->frame_count(), 20) << format;
        for (int i = 0; i < 20; i += 1) {
            char name[32];
            std::snprintf(name, sizeof name, "seq_%03d.%s", i, format.c_str());
            const auto read = sequence->frame(i, 0, true)->image;
            ASSERT_EQ(read.width, kWidth);
            EXPECT_EQ(Render::Bgr(read), r.Expected(5 + i)) << format << " " << i;

            if (format == "png" && i % 7 == 0) {
                // The codec library's image demuxer reads the same pixels.
                const auto ref = platform::testing::reference_summary(r.folder.file(name), 0);
                EXPECT_EQ(ref.width, kWidth);
                EXPECT_EQ(Render::Bgr(ref.frame), r.Expected(5 + i)) << i;
            }
        }
    }
}

TEST(ImageRenderer, KeysShowTheMasksEvenWhileTheMaskEditorShowsFootageOnly)
{
    Render r(10);
    r.AddSegment(0, 10, false);
    r.style.type = DisplayType::MaskOnly;
    PaintingSource editing;
    editing.composition = &r.comp;
    editing.style = r.style;
    editing.editingMask = true;
    EXPECT_EQ(MakePaintingKey(editing, 4)->GetStyle().type, DisplayType::ForegroundOnly);
    const auto key = RenderKeys(r.comp, r.style)(4);
    EXPECT_EQ(key->GetStyle().type, DisplayType::MaskOnly);
    EXPECT_EQ(key->GetLayers().size(), 1u);
}

class AviRender : public ::testing::TestWithParam<std::string> { };

TEST_P(AviRender, EveryFrameReadsBackThroughBothReaders)
{
    const std::string code = GetParam();
    Render r(40);
    if (!ChooseCompressor(r.settings, code))
        GTEST_SKIP() << code << " is not installed";
    r.AddSegment(0, 40, false);
    r.AddSegment(10, 30, false, 2);
    r.StartTo(r.folder.file("clip.avi"));
    ASSERT_TRUE(r.WaitForJobs());
    EXPECT_TRUE(r.prompts.prompt.texts.empty());

    const std::string path = r.folder.file("clip.avi");
    unsigned w = 0, h = 0;
    const auto reference = platform::testing::reference_decode(path, &w, &h);
    ASSERT_EQ(reference.size(), 40u);
    EXPECT_EQ(w, kWidth);
    EXPECT_EQ(h, kHeight);
    lumvex::dll library;
    const auto ours = library.create_footage(path);
    ASSERT_EQ(ours->frame_count(), 40);
    for (int f = 0; f < 40; f += 3) {
        const auto expected = r.Expected(f);
        const auto got = Render::Bgr(reference[std::size_t(f)]);
        const auto mine = ours->frame(f, 0, true);
        ASSERT_TRUE(mine) << f;
        if (code == "FFV1") {
            EXPECT_EQ(got, expected) << f;
            EXPECT_EQ(Render::Bgr(mine->image), expected) << f;
        } else {
            // Lossy: compared as colour images by their peak signal-to-noise.
            std::vector<std::uint8_t> a, b;
            for (std::size_t i = 0; i < got.size(); i += 3) {
                a.insert(a.end(), { got[i], got[i + 1], got[i + 2], 255 });
                b.insert(b.end(), { expected[i], expected[i + 1], expected[i + 2], 255 });
            }
            EXPECT_GT(platform::testing::psnr(a.data(), b.data(), a.size() / 4), 28.0) << f;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Codecs, AviRender, ::testing::Values("MJPG", "FFV1"));

TEST(ImageRenderer, CancelHalfWayLeavesAValidShorterAvi)
{
    Render r(40);
    if (!ChooseCompressor(r.settings, "FFV1"))
        GTEST_SKIP() << "FFV1 is not installed";
    r.AddSegment(0, 40, false);
    ASSERT_NO_FATAL_FAILURE(r.CancelAt(r.folder.file("part.avi"), 20));
    // The frame being written when Cancel came is completed.
    const std::string path = r.folder.file("part.avi");
    const auto summary = platform::testing::reference_summary(path, 20);
    EXPECT_EQ(summary.packets, 21);
    EXPECT_EQ(Render::Bgr(summary.frame), r.Expected(20));
    lumvex::dll library;
    EXPECT_EQ(library.create_footage(path)->frame_count(), 21);
}

// The bytes of a file.
std::string Contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The files of a folder whose names hold `part`.
std::vector<fs::path> FilesWith(const fs::path& folder, const std::string& part)
{
    std::vector<fs::path> found;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().filename().string().find(part) != std::string::npos)
            found.push_back(e.path());
    return found;
}

// Renders `frames` uncompressed frames over an earlier render.avi; once the
// first five are written the file may grow by `beyond(chunk)` bytes more,
// where chunk is one frame's. Answers the path rendered to, or nothing
// where uncompressed frames are not offered.
std::optional<std::string> RenderOverAnEarlierFileWithinASizeLimit(
    Render& r, int frames, std::uintmax_t (*beyond)(std::uintmax_t chunk))
{
    if (!ChooseCompressor(r.settings, "DIB "))
        return std::nullopt;
    r.AddSegment(0, frames, false);
    const std::string path = r.folder.file("render.avi");
    std::ofstream(path) << "the earlier render";
    r.footage->SetGate(5);
    r.StartTo(path);
    EXPECT_TRUE(r.footage->WaitReached());
    const auto temporary = FilesWith(r.folder.root(), ".tmp");
    EXPECT_EQ(temporary.size(), 1u);
    // 24-bit rows of whole words.
    const std::uintmax_t chunk = 8 + std::uintmax_t((kWidth * 24 + 31) / 32 * 4) * kHeight;
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit limited = old;
    limited.rlim_cur = (temporary.empty() ? 0 : fs::file_size(temporary[0])) + beyond(chunk);
    setrlimit(RLIMIT_FSIZE, &limited);
    r.footage->Release();
    const bool ended = r.WaitForJobs();
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_TRUE(ended);
    return path;
}

TEST(ImageRenderer, AviThatCannotBeCompletedIsAFailureAndTheEarlierRenderStays)
{
    Render r(6);
    // The last frame reaches the limit exactly: the closing index cannot be
    // written.
    const auto path
        = RenderOverAnEarlierFileWithinASizeLimit(r, 6, [](std::uintmax_t chunk) { return chunk; });
    if (!path)
        GTEST_SKIP() << "uncompressed frames are not offered";
    ASSERT_EQ(r.prompts.prompt.texts.size(), 1u);
    EXPECT_EQ(r.prompts.prompt.texts[0].rfind("AVI file close error: ", 0), 0u) << r.prompts.prompt.texts[0];
    EXPECT_TRUE(Contents(*path) == "the earlier render") << "the earlier render was replaced";
    EXPECT_TRUE(FilesWith(r.folder.root(), ".tmp").empty());
    EXPECT_TRUE(r.comp.CanClose());
}

// A footage one of whose frames cannot be read, as a damaged member of an
// image sequence.
class UnreadableFrameFootage : public NamedFootage {
public:
    UnreadableFrameFootage(int frames, std::string path, int bad, std::string badFile)
        : NamedFootage(frames, std::move(path))
        , m_bad(bad)
        , m_badFile(std::move(badFile))
    {
    }
    boost::shared_ptr<lumvex::cached_image> frame(int frame, int request, bool wait) override
    {
        if (frame == m_bad)
            throw img::io_error("could not open image file for reading or read error", m_badFile);
        return NamedFootage::frame(frame, request, wait);
    }

private:
    int m_bad;
    std::string m_badFile;
};

TEST(ImageRenderer, RenderWithAnUnreadableFrameKeepsTheFilesItWasToReplace)
{
    struct Case {
        std::string output;
        int field;
        std::vector<std::string> kept; // files the failed render leaves as they were
    };
    // The sequence's frames 0 to 3 are written before frame 4 fails.
    for (const Case& c :
        { Case { "render.avi", 0, { "render.avi" } }, Case { "render.avi", 1, { "render.avi" } },
            Case { "f_[##].png", 0, { "f_00.png", "f_01.png", "f_02.png", "f_03.png", "f_04.png" } } }) {
        Render r(10);
        if (!ChooseCompressor(r.settings, "DIB "))
            GTEST_SKIP() << "uncompressed frames are not offered";
        r.settings.field = c.field;
        if (c.output.find(".png") != std::string::npos)
            r.settings.format = "png";
        const std::string bad = r.folder.file("plate_0004.png");
        r.comp.SetFootage(boost::make_shared<UnreadableFrameFootage>(10, r.folder.file("walk.avi"), 4, bad));
        r.AddSegment(0, 10, false);
        for (const std::string& kept : c.kept)
            std::ofstream(r.folder.file(kept)) << "the earlier render";
        r.StartTo(r.folder.file(c.output));
        ASSERT_TRUE(r.WaitForJobs());
        ASSERT_EQ(r.prompts.prompt.texts.size(), 1u) << c.output;
        EXPECT_EQ(r.prompts.prompt.texts[0], "could not open image file for reading or read error: " + bad);
        for (const std::string& kept : c.kept)
            EXPECT_TRUE(Contents(r.folder.file(kept)) == "the earlier render") << kept << " " << c.field;
        EXPECT_EQ(r.CountFiles(), c.kept.size()) << c.output;
        EXPECT_TRUE(r.comp.CanClose());
    }
}

// Cancel keeps what was written, as for an AVI file: the frames up to the
// one being written when Cancel came take their places; a frame of an
// earlier render beyond them stays.
TEST(ImageRenderer, CancelledSequenceKeepsTheFramesWritten)
{
    Render r(40);
    r.AddSegment(0, 40, false);
    r.settings.format = "png";
    const std::string beyond = r.folder.file("part_30.png");
    std::ofstream(beyond) << "the earlier render";
    ASSERT_NO_FATAL_FAILURE(r.CancelAt(r.folder.file("part_[##].png"), 20));
    EXPECT_EQ(r.CountFiles(), 22u);
    EXPECT_TRUE(FilesWith(r.folder.root(), ".tmp").empty());
    img::image<img::BGRA<unsigned char>> last;
    img::default_readers().read(r.folder.file("part_20.png"), last);
    EXPECT_EQ(Render::Bgr(last), r.Expected(20));
    EXPECT_TRUE(Contents(beyond) == "the earlier render");
}

// All frames written, one of them cannot take its place: the render is a
// failure that names the frame, and the earlier frames stay as they were.
TEST(ImageRenderer, SequenceWhoseFrameCannotTakeItsPlaceIsAFailureAndTheEarlierFramesStay)
{
    Render r(6);
    r.AddSegment(0, 6, false);
    r.settings.format = "png";
    const auto frame = [&r](int f) { return r.folder.file("f_0" + std::to_string(f) + ".png"); };
    for (int f = 0; f < 6; ++f)
        std::ofstream(frame(f)) << "the earlier render";
    r.footage->SetGate(5);
    r.StartTo(r.folder.file("f_[##].png"));
    ASSERT_TRUE(r.footage->WaitReached());
    // A folder takes the place of a frame already written.
    fs::remove(frame(2));
    fs::create_directory(frame(2));
    r.footage->Release();
    ASSERT_TRUE(r.WaitForJobs());
    ASSERT_EQ(r.prompts.prompt.texts.size(), 1u);
    EXPECT_EQ(r.prompts.prompt.texts[0],
        "could not open image file for writing or write error: " + std::system_category().message(EISDIR)
            + ": " + frame(2));
    for (int f : { 0, 1, 3, 4, 5 })
        EXPECT_TRUE(Contents(frame(f)) == "the earlier render") << f;
    EXPECT_TRUE(FilesWith(r.folder.root(), ".tmp").empty());
    EXPECT_TRUE(r.comp.CanClose());
}

TEST(ImageRenderer, FullDiscMidRenderKeepsTheFileItWasToReplaceAndTellsWhy)
{
    Render r(10);
    // A limit half-way through the next frame stands in for a disc that
    // fills up.
    const auto path
        = RenderOverAnEarlierFileWithinASizeLimit(r, 10, [](std::uintmax_t chunk) { return chunk / 2; });
    if (!path)
        GTEST_SKIP() << "uncompressed frames are not offered";
    ASSERT_EQ(r.prompts.prompt.texts.size(), 1u);
    EXPECT_EQ(r.prompts.prompt.texts[0],
        "AVI stream write error: " + std::system_category().message(EFBIG) + ": " + *path);
    EXPECT_TRUE(Contents(*path) == "the earlier render") << "the earlier render was replaced";
    EXPECT_TRUE(FilesWith(r.folder.root(), ".tmp").empty());
    EXPECT_TRUE(r.comp.CanClose());
}

TEST(ImageRenderer, RenderNeverWritesOverTheFootageItReads)
{
    Render r(6);
    if (!ChooseCompressor(r.settings, "FFV1"))
        GTEST_SKIP() << "FFV1 is not installed";
    r.AddSegment(0, 6, false);
    const std::string footage = r.folder.file("walk.avi");
    std::ofstream(footage) << "the footage";
    const std::string plate = r.folder.file("plate_004.png");
    std::ofstream(plate) << "a background frame";
    r.comp.GetBackground().SetFootage(boost::make_shared<NamedFootage>(6, plate));

    // The user names the footage: refused, nothing written.
    r.StartTo(footage);
    EXPECT_EQ(r.proposedKept, (std::vector<std::string> { footage, plate }));
    EXPECT_EQ(r.comp.GetRunningJobs(), 0);
    EXPECT_TRUE(Contents(footage) == "the footage");

    // Numbered files one of which is a background frame: refused too.
    r.settings.format = "png";
    r.StartTo(r.folder.file("plate_[###].png"));
    EXPECT_EQ(r.comp.GetRunningJobs(), 0);
    EXPECT_TRUE(Contents(plate) == "a background frame");
    EXPECT_EQ(FilesWith(r.folder.root(), "plate_0").size(), 1u);

    // Any other name is rendered.
    r.StartTo(r.folder.file("plate_[##].png"));
    ASSERT_TRUE(r.WaitForJobs());
    EXPECT_EQ(FilesWith(r.folder.root(), "plate_0").size(), 7u);
}

} // namespace
