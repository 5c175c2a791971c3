// Contour text export: the format, frames skipped and chosen, key-frame
// thinning within the inaccuracy, unequal point counts, files that cannot
// be written, and the two commands.

#include "document/project/ContourExport.h"
#include "document/project/FramerateText.h"
#include "document/project/tests/project_test_support.h"
#include "document/tests/segment_test_support.h"
#include "foundation/files/kept_files.h"
#include "foundation/system/exception.h"
#include "widgets/core/Event.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <sstream>
#include <sys/resource.h>

namespace {

using namespace segment_testing;

struct Doc {
    PromptScope prompts;
    TLComp comp;
    TLSegment* segment;
    explicit Doc(bool contourStage = true)
    {
        comp.SetFootage(boost::make_shared<SceneFootage>(4));
        segment = comp.GetSegmentSet().CreateSegment(1);
        trm::param params;
        params.decrease_mask_freedom = contourStage;
        segment->SetParams(params);
        comp.SetExportFramerate(fraction(25, 1));
        comp.SetExportInaccuracy(0.0f);
    }
    // Stores a record with the given contour at each frame of {first, last}
    // except those in `holes`, and makes that the data span.
    void Results(int first, int last, const std::function<std::vector<pointf>(int)>& contour,
        std::initializer_list<int> holes = {})
    {
        SegmentData& engine = *segment->GetEngine();
        engine.set_range({ first, last });
        for (int f = first; f < last; ++f) {
            if (std::find(holes.begin(), holes.end(), f) != holes.end())
                continue;
            auto record = boost::make_shared<trm::frame_record>();
            record->bit_mask = project_testing::Blob(kWidth, kHeight, 1, 1, 4);
            record->contour = contour(f);
            engine.store(f, record, { first, last }, { first, first });
        }
        segment->SetDataSpan(first, last);
    }
};

std::vector<pointf> Moving(int f)
{
    const float t = static_cast<float>(f);
    return { { 10.25f + t, 3.0f }, { 20.0f, 4.5f + 2 * t }, { 1.0f, 1.0f } };
}

// The frame numbers of the blocks of a text.
std::vector<int> Frames(const std::string& text)
{
    std::vector<int> frames;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("Frame ", 0) == 0)
            frames.push_back(std::stoi(line.substr(6)));
    return frames;
}

// The control points of each block.
std::map<int, std::vector<pointf>> Blocks(const std::string& text)
{
    std::map<int, std::vector<pointf>> blocks;
    std::istringstream in(text);
    std::string line;
    int frame = -1;
    while (std::getline(in, line)) {
        if (line.rfind("Frame ", 0) == 0) {
            frame = std::stoi(line.substr(6));
            blocks[frame];
        } else if (frame >= 0 && !line.empty()) {
            std::istringstream numbers(line);
            pointf p {};
            numbers >> p.x >> p.y;
            blocks[frame].push_back(p);
        }
    }
    return blocks;
}

TEST(ContourExport, FramerateTextNeverDividesByZero)
{
    EXPECT_EQ(FramerateText(fraction(25, 1)), "25");
    EXPECT_EQ(FramerateText(fraction(50, 2)), "25");
    EXPECT_EQ(FramerateText(fraction(30000, 1001)), "30000/1001");
    EXPECT_EQ(FramerateText(fraction(7, 0)), "50");
    EXPECT_EQ(FramerateText(fraction(-2147483647 - 1, 1)), "-2147483648");
}

TEST(ContourExport, WritesEveryFrameWithoutInaccuracy)
{
    Doc d;
    d.Results(10, 13, Moving);
    EXPECT_EQ(ContourText(*d.segment),
        "Animated Bezier Contour\n"
        "Framerate 25\n"
        "\nFrame 10\n20.25\t3\n20\t24.5\n1\t1\n"
        "\nFrame 11\n21.25\t3\n20\t26.5\n1\t1\n"
        "\nFrame 12\n22.25\t3\n20\t28.5\n1\t1\n");
    d.comp.SetExportFramerate(fraction(30000, 1001));
    EXPECT_EQ(ContourText(*d.segment).substr(0, 45), "Animated Bezier Contour\nFramerate 30000/1001\n");
}

TEST(ContourExport, FramesWithoutResultsAreSkippedAndNumbersStayIntegers)
{
    Doc d;
    d.Results(1234560, 1234566, Moving, { 1234561, 1234565 });
    EXPECT_EQ(Frames(ContourText(*d.segment)), (std::vector<int> { 1234560, 1234562, 1234563, 1234564 }));
    EXPECT_NE(ContourText(*d.segment).find("Frame 1234560\n"), std::string::npos);
    // No results at all: the header alone.
    Doc empty;
    empty.segment->SetDataSpan(1, 1);
    EXPECT_EQ(ContourText(*empty.segment), "Animated Bezier Contour\nFramerate 25\n");
}

TEST(ContourExport, UnequalPointCountsWriteEveryFrame)
{
    Doc d;
    d.comp.SetExportInaccuracy(5.0f);
    d.Results(0, 6, [](int f) {
        std::vector<pointf> points = Moving(f);
        if (f == 3)
            points.pop_back();
        return points;
    });
    EXPECT_EQ(Frames(ContourText(*d.segment)), (std::vector<int> { 0, 1, 2, 3, 4, 5 }));
}

TEST(ContourExport, LinearMotionKeepsOnlyTheEnds)
{
    Doc d;
    d.comp.SetExportInaccuracy(0.01f);
    d.Results(5, 25, Moving);
    EXPECT_EQ(Frames(ContourText(*d.segment)), (std::vector<int> { 5, 24 }));
    // A single frame is its own last frame.
    Doc one;
    one.comp.SetExportInaccuracy(1.0f);
    one.Results(7, 8, Moving);
    EXPECT_EQ(Frames(ContourText(*one.segment)), (std::vector<int> { 7 }));
}

// Interpolating linearly between the written frames reproduces the others
// within the inaccuracy (root mean square over points and frames), and the
// last frame is always written.
TEST(ContourExport, KeyFramesMeetTheInaccuracy)
{
    for (float tolerance : { 0.05f, 0.5f, 2.0f }) {
        Doc d;
        d.comp.SetExportInaccuracy(tolerance);
        auto wobble = [](int f) {
            const float t = static_cast<float>(f);
            return std::vector<pointf> { { 10 + 6 * std::sin(t * 0.4f), 3 + t }, { 20 + t * t * 0.05f, 4 },
                { 5 * std::cos(t * 0.3f), 8 } };
        };
        d.Results(0, 40, wobble);
        const auto blocks = Blocks(ContourText(*d.segment));
        ASSERT_GE(blocks.size(), 2u);
        EXPECT_EQ(blocks.begin()->first, 0);
        EXPECT_EQ(blocks.rbegin()->first, 39);
        EXPECT_LT(blocks.size(), 40u) << tolerance;
        double total = 0;
        for (int f = 0; f < 40; ++f) {
            auto after = blocks.lower_bound(f);
            auto before = after;
            if (after->first != f)
                --before;
            const double w = after->first == before->first
                ? 0.0
                : double(f - before->first) / double(after->first - before->first);
            const auto truth = wobble(f);
            for (std::size_t i = 0; i < truth.size(); ++i) {
                const double x = before->second[i].x + w * (after->second[i].x - before->second[i].x);
                const double y = before->second[i].y + w * (after->second[i].y - before->second[i].y);
                total += (x - truth[i].x) * (x - truth[i].x) + (y - truth[i].y) * (y - truth[i].y);
            }
        }
        // The text's six significant digits add a little.
        EXPECT_LE(total, double(tolerance) * tolerance * 3 * 40 * 1.001 + 1e-6) << tolerance;
    }
}

struct FakeContourHost : ContourHost {
    // The answer to a fresh dialog.
    std::string file;
    // The answers when asked again over a refused name, in turn; then the
    // user cancels.
    std::vector<std::string> then;
    std::vector<std::string> offered;
    std::vector<std::string> copied;
    int asked = 0;
    std::string ChooseContourFile(const std::string& initial) override
    {
        ++asked;
        offered.push_back(initial);
        if (initial.empty())
            return file;
        if (then.empty())
            return {};
        std::string answer = then.front();
        then.erase(then.begin());
        return answer;
    }
    void CopyLinesToClipboard(const std::string& text) override { copied.push_back(text); }
};

struct FakeUI : My::CommandUI {
    int enabled = -1;
    void Enable(bool on) override { enabled = on; }
    void SetCheck(int) override { }
    void SetRadio(bool) override { }
    void SetText(const std::string&) override { }
    bool IsMenuItem() const override { return true; }
};

int Enabled(ContourCommands& commands, std::uint32_t id)
{
    FakeUI ui;
    My::UpdateCommandUIEvent update(id, &ui);
    EXPECT_TRUE(commands.RouteCommand(update));
    return ui.enabled;
}

void RunCommand(ContourCommands& commands, std::uint32_t id)
{
    My::CommandEvent event(id);
    EXPECT_TRUE(commands.RouteCommand(event));
}

TEST(ContourExport, ExportToAFileThatCannotBeWrittenReportsTheFile)
{
    project_testing::Scratch scratch;
    Doc d;
    d.Results(2, 4, Moving);
    FakeContourHost host;
    ContourCommands commands(d.comp, &host);
    host.file = scratch.File("no/such/folder/c.txt");
    My::ClearOperations();
    try {
        RunCommand(commands, 33225);
        ADD_FAILURE() << "no error";
    } catch (const std::exception& error) {
        EXPECT_NE(std::string(error.what()).find(host.file), std::string::npos);
        EXPECT_EQ(My::ComposeErrorReport(error.what()).rfind("Error while exporting contour:\n", 0), 0u);
    }
    My::ClearOperations();
    EXPECT_FALSE(project_testing::fs::exists(scratch.File("no")));
    EXPECT_THROW(ExportContourFile(*d.segment, scratch.Root().string()), xtd::exception);
}

TEST(ContourExport, CommandsCopyAndExportTheSelectedSegment)
{
    project_testing::Scratch scratch;
    Doc d;
    FakeContourHost host;
    ContourCommands commands(d.comp, &host);
    // Nothing computed yet.
    EXPECT_EQ(Enabled(commands, 33224), 0);
    EXPECT_EQ(Enabled(commands, 33225), 0);
    RunCommand(commands, 33224);
    EXPECT_TRUE(host.copied.empty());

    d.Results(2, 4, Moving);
    EXPECT_EQ(Enabled(commands, 33224), 1);
    EXPECT_EQ(Enabled(commands, 33225), 1);
    RunCommand(commands, 33224);
    ASSERT_EQ(host.copied.size(), 1u);
    EXPECT_EQ(host.copied[0], ContourText(*d.segment));

    // A cancelled dialog writes nothing; a chosen file is replaced.
    RunCommand(commands, 33225);
    EXPECT_EQ(host.asked, 1);
    host.file = scratch.File("c.txt");
    project_testing::WriteFile(host.file, std::string(10000, 'x'));
    RunCommand(commands, 33225);
    EXPECT_EQ(project_testing::ReadFile(host.file), ContourText(*d.segment));
    EXPECT_EQ(My::GetCurrentOperation(), "");

    // Without the contour stage, or without a selection, nothing applies.
    trm::param params = d.segment->GetParams();
    params.decrease_mask_freedom = false;
    d.segment->SetParams(params);
    EXPECT_EQ(Enabled(commands, 33224), 0);
    d.comp.GetSegmentSet().SelectSegment(-1);
    EXPECT_EQ(Enabled(commands, 33225), 0);
    // Other commands pass on.
    My::CommandEvent other(33213);
    EXPECT_FALSE(commands.RouteCommand(other));
}

TEST(ContourExport, ExportThatCannotBeCompletedKeepsTheFileItWasReplacing)
{
    project_testing::Scratch scratch;
    Doc d;
    d.Results(2, 12, Moving);
    const std::string path = scratch.File("c.txt");
    project_testing::WriteFile(path, "the earlier export");
    ASSERT_GT(ContourText(*d.segment).size(), 200u);
    // A file-size limit stands in for a full disc.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit limited = old;
    limited.rlim_cur = 100;
    setrlimit(RLIMIT_FSIZE, &limited);
    std::string error;
    try {
        ExportContourFile(*d.segment, path);
    } catch (const xtd::exception& e) {
        error = e.what();
    }
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_EQ(project_testing::ReadFile(path), "the earlier export");
    std::size_t files = 0;
    for (const auto& e : project_testing::fs::directory_iterator(scratch.Root()))
        files += e.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 1u);
}

// The scene under a file name of its own.
class FileFootage : public SceneFootage {
public:
    FileFootage(int frames, std::string path)
        : SceneFootage(frames)
        , m_path(std::move(path))
    {
    }
    std::string path() const override { return m_path; }

private:
    std::string m_path;
};

TEST(ContourExport, ANameOverAFileTheCompositionReadsIsAskedAgainUntilAnotherIsChosen)
{
    project_testing::Scratch scratch;
    Doc d;
    d.Results(2, 4, Moving);
    const std::string background = scratch.File("plate.avi");
    project_testing::WriteFile(background, "background footage");
    d.comp.GetBackground().SetFootage(boost::make_shared<FileFootage>(4, background));
    FakeContourHost host;
    ContourCommands commands(d.comp, &host);
    // The same file under another spelling.
    host.file = (scratch.Root() / "." / "plate.avi").string();
    // Asked again holding the refused name; then cancelled.
    RunCommand(commands, 33225);
    EXPECT_EQ(project_testing::ReadFile(background), "background footage");
    ASSERT_EQ(d.prompts.prompt.texts.size(), 1u);
    EXPECT_EQ(d.prompts.prompt.texts[0], kept_file_message);
    EXPECT_EQ(host.offered, (std::vector<std::string> { "", host.file }));
    // Asked again, and another name is written.
    host.offered.clear();
    host.then = { scratch.File("plate.txt") };
    RunCommand(commands, 33225);
    EXPECT_EQ(host.offered.size(), 2u);
    EXPECT_EQ(project_testing::ReadFile(scratch.File("plate.txt")), ContourText(*d.segment));
    EXPECT_EQ(project_testing::ReadFile(background), "background footage");
    EXPECT_EQ(d.prompts.prompt.texts.size(), 2u);
}

} // namespace
