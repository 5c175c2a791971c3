// Exporting the work area's masks: the question about frames without
// masks, the dialog and its greyscale box, the numbering with gaps, the BMP
// files' bytes, the smooth export's fallback to crisp masks, write errors,
// cancelling, and a 100-frame export compared with the engine's masks.

#include "app/jobs/MaskExporter.h"

#include "app/jobs/MaskSaveDlg.h"
#include "app/jobs/tests/job_test_support.h"
#include "document/composition/Background.h"
#include "document/segments/MaskCombine.h"
#include "foundation/files/bmp_reader.h"
#include "foundation/files/gdiplus_codec.h"
#include "foundation/files/kept_files.h"
#include "platform/gui/messages.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>

namespace {

using namespace job_testing;
namespace fs = std::filesystem;

const char* const kNoMasks = "Some frames in the work area do not contain computed masks.\nTherefore these "
                             "frames will be skipped during output. Proceed?";

std::vector<unsigned char> Bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

std::uint32_t U32(const std::vector<unsigned char>& b, std::size_t at)
{
    return std::uint32_t(b.at(at)) | std::uint32_t(b.at(at + 1)) << 8 | std::uint32_t(b.at(at + 2)) << 16
        | std::uint32_t(b.at(at + 3)) << 24;
}

img::image<unsigned char> ReadGrey(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    img::image<unsigned char> grey;
    img::gdiplus_read_grey(in, grey);
    return grey;
}

struct Export : Project {
    explicit Export(int frames)
        : Project(frames)
    {
    }
    // Runs an export whose dialog answers `name` in the scratch folder (and
    // checks the box when greyscale); what the dialog showed is kept.
    void Run(MaskExporter* job, const std::string& name, bool greyscale = false)
    {
        ScriptedFileDialog answer([&](CFileDialog& d) {
            shownName = d.GetPathName();
            shownTitle = d.GetTitle();
            shownFlags = d.GetFlags();
            shownFilter = d.GetFilter();
            hadBox = d.IsItemEnabled(MaskSaveDlg::kGreyscaleId);
            if (greyscale)
                d.Click(MaskSaveDlg::kGreyscaleId);
            d.SetPathName(folder.file(name));
            return IDOK;
        });
        job->ExportMasks(nullptr);
    }
    std::vector<std::string> Files() const
    {
        std::vector<std::string> names;
        for (const auto& e : fs::recursive_directory_iterator(folder.root()))
            if (e.is_regular_file() && e.path().extension() == ".bmp")
                names.push_back(fs::relative(e.path(), folder.root()).string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string shownName, shownTitle, shownFilter;
    DWORD shownFlags = 0;
    bool hadBox = false;
};

TEST(MaskExporter, RefusingTheQuestionDeletesTheJobWithoutADialog)
{
    Export e(3);
    e.AddSegment(0, 1, false);
    e.prompts.prompt.answer = My::IDCANCEL;
    bool shown = false;
    ScriptedFileDialog answer([&](CFileDialog&) {
        shown = true;
        return IDOK;
    });
    (new CrispMaskExporter(e.comp))->ExportMasks(nullptr);
    ASSERT_EQ(e.prompts.prompt.texts.size(), 1u);
    EXPECT_EQ(e.prompts.prompt.texts[0], kNoMasks);
    EXPECT_FALSE(shown);
    EXPECT_EQ(e.comp.GetRunningJobs(), 0);
}

TEST(MaskExporter, CancelledDialogDeletesTheJob)
{
    Export e(3);
    e.AddSegment(0, 3, false);
    ScriptedFileDialog answer([](CFileDialog&) { return IDCANCEL; });
    (new SmoothMaskExporter(e.comp))->ExportMasks(nullptr);
    EXPECT_EQ(e.comp.GetRunningJobs(), 0);
    EXPECT_TRUE(e.prompts.prompt.texts.empty());
}

TEST(MaskExporter, WriteErrorIsReportedAndTheJobStillEnds)
{
    Export e(3);
    e.AddSegment(0, 3, false);
    e.Run(new CrispMaskExporter(e.comp), "gone/m_[#].bmp");
    ASSERT_TRUE(e.WaitForJobs());
    ASSERT_EQ(e.prompts.prompt.texts.size(), 1u);
    EXPECT_NE(e.prompts.prompt.texts[0].find("m_0.bmp"), std::string::npos) << e.prompts.prompt.texts[0];
    EXPECT_TRUE(e.comp.CanClose());
}

TEST(MaskExporter, MasksNeverWriteOverAFileTheCompositionReadsAndARefusedNameIsAskedAgain)
{
    Export e(3);
    e.AddSegment(0, 3, false);
    const std::string plate = e.folder.file("plate_001.bmp");
    std::ofstream(plate) << "a background frame";
    e.comp.GetBackground().SetFootage(boost::make_shared<NamedFootage>(3, plate));
    // A refused name brings the dialog back holding it; the user cancels.
    std::vector<std::string> shown;
    {
        ScriptedFileDialog answer([&](CFileDialog& d) {
            shown.push_back(d.GetPathName());
            if (shown.size() == 3)
                return IDCANCEL;
            d.SetPathName(e.folder.file("plate_[###].bmp"));
            return IDOK;
        });
        (new CrispMaskExporter(e.comp))->ExportMasks(nullptr);
    }
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[1], e.folder.file("plate_[###].bmp"));
    EXPECT_EQ(shown[2], e.folder.file("plate_[###].bmp"));
    EXPECT_EQ(e.comp.GetRunningJobs(), 0);
    ASSERT_EQ(e.prompts.prompt.texts.size(), 2u);
    EXPECT_EQ(e.prompts.prompt.texts[0], kept_file_message);
    EXPECT_EQ(e.Files(), std::vector<std::string> { "plate_001.bmp" });
    std::ifstream in(plate);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()),
        "a background frame");
    // Names that miss it are written.
    e.Run(new CrispMaskExporter(e.comp), "plate_[##].bmp");
    ASSERT_TRUE(e.WaitForJobs());
    EXPECT_EQ(e.Files().size(), 4u);
}

TEST(MaskExporter, FramesWithoutMasksLeaveGapsInTheNumbering)
{
    Export e(3);
    TLSegment* s = e.AddSegment(0, 1, false);
    StoreResult(*s, 2, 0, false);
    e.Run(new CrispMaskExporter(e.comp), "walk_[###].bmp");
    EXPECT_EQ(e.prompts.prompt.texts, std::vector<std::string> { kNoMasks });
    EXPECT_EQ(e.shownName, "walk_[###].bmp");
    EXPECT_EQ(e.shownTitle, "Export Masks to");
    EXPECT_EQ(e.shownFilter, "Bitmap files (*.bmp)|*.bmp||");
    EXPECT_EQ(e.shownFlags, 0x0088084Eu);
    EXPECT_TRUE(e.hadBox);
    ASSERT_TRUE(e.WaitForJobs());
    EXPECT_EQ(e.Files(), (std::vector<std::string> { "walk_000.bmp", "walk_002.bmp" }));
}

TEST(MaskExporter, CrispFilesAreOneBitBitmapsOfTheCombinedMask)
{
    Export e(2);
    e.AddSegment(0, 2, false, 0);
    e.AddSegment(0, 2, false, 1);
    e.comp.SetWorkArea(1, 2);
    e.Run(new CrispMaskExporter(e.comp), "mask.bmp");
    ASSERT_TRUE(e.WaitForJobs());
    EXPECT_EQ(e.Files(), std::vector<std::string> { "mask000.bmp" });
    const auto b = Bytes(e.folder.file("mask000.bmp"));
    const std::uint32_t rowBytes = (kWidth + 31) / 32 * 4;
    ASSERT_EQ(b.size(), 62u + rowBytes * kHeight);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(U32(b, 2), b.size());
    EXPECT_EQ(U32(b, 10), 62u);
    EXPECT_EQ(U32(b, 14), 40u);
    EXPECT_EQ(U32(b, 18), kWidth);
    EXPECT_EQ(U32(b, 22), kHeight);
    EXPECT_EQ(b[28], 1);
    EXPECT_EQ(U32(b, 54), 0u);
    EXPECT_EQ(U32(b, 58), 0x00FFFFFFu);
    img::image<img::bit> read;
    img::read_bmp_file(e.folder.file("mask000.bmp"), read);
    std::vector<MaskLayer> layers;
    e.comp.GetSegmentSet().CollectMaskLayers(1, false, layers);
    const img::image<img::bit> expected = CombineCrispMasks(layers);
    ASSERT_EQ(read.width, expected.width);
    for (unsigned y = 0; y < kHeight; ++y)
        for (unsigned x = 0; x < kWidth; ++x)
            ASSERT_EQ(bool(read.at(x, y)), bool(expected.at(x, y))) << x << "," << y;
}

TEST(MaskExporter, GreyscaleCrispFilesHoldOnlyZeroAnd255)
{
    Export e(2);
    e.AddSegment(0, 2, false);
    e.Run(new CrispMaskExporter(e.comp), "g_[##].bmp", true);
    ASSERT_TRUE(e.WaitForJobs());
    const auto b = Bytes(e.folder.file("g_00.bmp"));
    EXPECT_EQ(U32(b, 10), 1078u);
    EXPECT_EQ(b[28], 8);
    const auto grey = ReadGrey(e.folder.file("g_01.bmp"));
    const auto mask = MovingMask(1, 0);
    for (unsigned y = 0; y < kHeight; ++y)
        for (unsigned x = 0; x < kWidth; ++x)
            ASSERT_EQ(grey.at(x, y).get(), mask.at(x, y) ? 255 : 0) << x << "," << y;
}

TEST(MaskExporter, SmoothExportHasNoBoxAndFallsBackToCrispMasks)
{
    Export e(2);
    // Frame 0 smoothed, frame 1 crisp only.
    TLSegment* s = e.AddSegment(0, 1, true);
    StoreResult(*s, 1, 0, false);
    e.Run(new SmoothMaskExporter(e.comp), "s_[###].bmp");
    EXPECT_FALSE(e.hadBox);
    EXPECT_EQ(e.shownFlags, 0x0080080Eu);
    ASSERT_TRUE(e.WaitForJobs());
    EXPECT_TRUE(e.prompts.prompt.texts.empty());
    const auto smooth = ReadGrey(e.folder.file("s_000.bmp"));
    const auto crisp = ReadGrey(e.folder.file("s_001.bmp"));
    for (unsigned y = 0; y < kHeight; ++y)
        for (unsigned x = 0; x < kWidth; ++x) {
            ASSERT_EQ(smooth.at(x, y).get(), MovingMask(0, 0).at(x, y) ? 200 : 30);
            ASSERT_EQ(crisp.at(x, y).get(), MovingMask(1, 0).at(x, y) ? 255 : 0);
        }
}

TEST(MaskExporter, NumberFieldIsLookedForInTheFileNameOnly)
{
    Export e(2);
    e.AddSegment(0, 2, false);
    fs::create_directories(e.folder.file("take#2"));
    e.Run(new CrispMaskExporter(e.comp), "take#2/out.bmp");
    ASSERT_TRUE(e.WaitForJobs());
    EXPECT_EQ(e.Files(), (std::vector<std::string> { "take#2/out000.bmp", "take#2/out001.bmp" }));
}

// Holds the job's thread in the frame `gate` until released.
class GatedExporter : public CrispMaskExporter {
public:
    GatedExporter(TLComp& comp, std::size_t gate)
        : CrispMaskExporter(comp)
        , m_gate(gate)
    {
    }
    void ExportFrame(std::size_t index, const std::string& name) override
    {
        if (index == m_gate) {
            reached.set_value();
            released.get_future().wait();
        }
        CrispMaskExporter::ExportFrame(index, name);
    }
    std::promise<void> reached;
    std::promise<void> released;

private:
    std::size_t m_gate;
};

TEST(MaskExporter, CancelStopsAfterTheFrameUnderWay)
{
    Export e(100);
    e.AddSegment(0, 100, false);
    auto* job = new GatedExporter(e.comp, 40);
    auto reached = job->reached.get_future();
    e.Run(job, "c_[###].bmp");
    ASSERT_EQ(reached.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    job->GetProgress().GetWindow().PressCancel();
    job->released.set_value();
    ASSERT_TRUE(e.WaitForJobs());
    ASSERT_EQ(e.prompts.prompt.texts.size(), 1u);
    EXPECT_EQ(e.prompts.prompt.texts[0], "Exporting interrupted by user.");
    EXPECT_EQ(e.Files().size(), 41u);
    EXPECT_EQ(e.Files().back(), "c_040.bmp");
}

TEST(MaskExporter, HundredFramesMatchTheEnginesMasks)
{
    Export e(100);
    e.AddSegment(0, 100, true, 0);
    TLSegment* top = e.AddSegment(0, 100, false, 1);
    top->SetMaskMode(MaskMode::Subtract, false);
    e.Run(new CrispMaskExporter(e.comp), "crisp_[###].bmp");
    ASSERT_TRUE(e.WaitForJobs());
    e.Run(new SmoothMaskExporter(e.comp), "smooth_[###].bmp");
    ASSERT_TRUE(e.WaitForJobs());
    EXPECT_TRUE(e.prompts.prompt.texts.empty());
    ASSERT_EQ(e.Files().size(), 200u);
    for (int f = 0; f < 100; ++f) {
        char name[32];
        std::snprintf(name, sizeof name, "crisp_%03d.bmp", f);
        img::image<img::bit> read;
        img::read_bmp_file(e.folder.file(name), read);
        const auto base = MovingMask(f, 0);
        const auto cut = MovingMask(f, 1);
        std::snprintf(name, sizeof name, "smooth_%03d.bmp", f);
        const auto grey = ReadGrey(e.folder.file(name));
        for (unsigned y = 0; y < kHeight; ++y)
            for (unsigned x = 0; x < kWidth; ++x) {
                const bool inside = base.at(x, y) && !cut.at(x, y);
                ASSERT_EQ(bool(read.at(x, y)), inside) << f << ":" << x << "," << y;
                // The smoothed base (200/30) less the top's crisp mask (255/0).
                const int expected = cut.at(x, y) ? 0 : (base.at(x, y) ? 200 : 30);
                ASSERT_EQ(grey.at(x, y).get(), expected) << f << ":" << x << "," << y;
            }
    }
}

} // namespace
