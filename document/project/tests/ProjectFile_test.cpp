// The project file: byte-identical round trips, hand-written projects with
// defaults, clamping and dropped parts, failed loads that leave nothing
// behind, footage found without regard to case or missing, and saves
// interrupted by SIGKILL.

#include "document/project/tests/project_test_support.h"
#include "document/tests/segment_test_support.h"
#include "foundation/system/exception.h"
#include "foundation/xml/xml_stream.h"
#include "xmldoc/sarnel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <random>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using namespace project_testing;
using segment_testing::PromptScope;

// A composition that reads projects through the workspace's library.
struct Reader {
    explicit Reader(Workspace& workspace) { comp.SetFootageLibrary(&workspace.library); }
    TLComp comp;
};

void ExpectClean(TLComp& comp)
{
    EXPECT_TRUE(comp.IsEmpty());
    EXPECT_FALSE(comp.GetFootage());
    EXPECT_EQ(comp.GetSegmentSet().GetCount(), 0);
    EXPECT_TRUE(comp.GetBackground().IsEmpty());
    EXPECT_EQ(comp.GetWorkArea(), (My::Span { 0, 0 }));
    EXPECT_EQ(comp.GetCurrentFrame(), -1);
}

// The text between the first `from` and the next `to` (both included).
std::string Cut(const std::string& text, const std::string& from, const std::string& to)
{
    const auto a = text.find(from);
    const auto b = a == std::string::npos ? a : text.find(to, a + from.size());
    if (a == std::string::npos || b == std::string::npos)
        return {};
    return text.substr(a, b + to.size() - a);
}

// A hand-written project over a 200-frame sequence "plates\shot_????.png".
struct Handwritten {
    Workspace workspace;
    std::string keymask; // the keymask element of a 64 x 48 mask
    Handwritten()
    {
        WriteSequence(workspace.scratch.File("plates"), "shot", 200, 64, 48);
        WriteSequence(workspace.scratch.File("plates"), "back", 100, 64, 48, 4);
        WriteSequence(workspace.scratch.File("plates"), "small", 100, 32, 24, 4);
        Workspace other;
        Project project(other, 40, 1);
        project.comp.Store(other.scratch.File("p.tvp"));
        keymask = Cut(ReadFile(other.scratch.File("p.tvp")), "<keymask", "/>");
    }
    std::string Path() const { return workspace.scratch.File("hand.tvp"); }
    // Writes the project text and loads it into comp; errors pass on.
    void Load(TLComp& comp, const std::string& text) const
    {
        WriteFile(Path(), text);
        comp.Open(Path(), 0);
    }
    std::string Segment(int origin, int first, int last, const std::string& mode = "") const
    {
        return "<Segment origin='" + std::to_string(origin) + "'>" + keymask + "<TimeSpan First='"
            + std::to_string(first) + "' Last='" + std::to_string(last) + "'/>" + mode + "</Segment>";
    }
};

const char* const kFootage = "<Footage type='seq' filter='plates\\shot_????.png'/>";

TEST(ProjectFile, FailedLoadsLeaveACleanEmptyComposition)
{
    Handwritten hand;
    PromptScope prompts;
    Reader reader(hand.workspace);
    const std::string background = "<Background><Footage type='seq' filter='plates\\back_????.png'/>"
                                   "<Trimming First='1' Last='9'/></Background>";
    const std::vector<std::string> broken {
        // A time span without its end.
        std::string("<Tavelo CurrentFrame='0'>") + kFootage + "<Segment origin='5'>" + hand.keymask
            + "<TimeSpan First='1'/></Segment>" + background + "</Tavelo>",
        // A trimming without its start, after segments that were read.
        std::string("<Tavelo CurrentFrame='0'>") + kFootage + hand.Segment(5, 1, 9)
            + "<Background><Footage type='seq' filter='plates\\back_????.png'/><Trimming "
              "Last='9'/></Background>"
              "</Tavelo>",
        std::string("<Tavelo>") + kFootage + "</Tavelo>", // no current frame
        std::string("<Tavelo CurrentFrame='x'>") + kFootage + "</Tavelo>",
        "<Tavelo CurrentFrame='0'><Footage type='still' path='plates'/></Tavelo>", // a folder, no image
        "<Tavelo CurrentFrame='0'><Footage type='mp4' path='plates/shot_0001.png'/></Tavelo>", // names no
                                                                                               // footage
        "<Tavelo CurrentFrame='0'/>",
        std::string("<Tavelo CurrentFrame='0'>") + kFootage
            + "<Segment><TimeSpan First='1' Last='3'/></Segment></Tavelo>",
        std::string("<Tavelo CurrentFrame='0'>") + kFootage + kFootage + "</Tavelo>", // two footages
        std::string("<Tavelo CurrentFrame='0'>") + kFootage, // not well formed
        "",
    };
    for (const std::string& text : broken) {
        EXPECT_ANY_THROW(hand.Load(reader.comp, text)) << text;
        if (!reader.comp.IsEmpty())
            ADD_FAILURE() << text;
        ExpectClean(reader.comp);
    }
    // The same composition then opens a good project.
    hand.Load(reader.comp,
        std::string("<Tavelo CurrentFrame='3'>") + kFootage + hand.Segment(5, 1, 9) + "</Tavelo>");
    EXPECT_FALSE(reader.comp.IsEmpty());
    EXPECT_EQ(reader.comp.GetSegmentSet().GetCount(), 1);
    EXPECT_EQ(reader.comp.GetCurrentFrame(), 3);
}

TEST(ProjectFile, LoadingWithoutAFootageLibraryFailsClean)
{
    Handwritten hand;
    TLComp comp;
    EXPECT_ANY_THROW(hand.Load(comp, std::string("<Tavelo CurrentFrame='0'>") + kFootage + "</Tavelo>"));
    ExpectClean(comp);
}

TEST(ProjectFile, HandWrittenProjectTakesDefaults)
{
    Handwritten hand;
    Reader reader(hand.workspace);
    // Any root name; no work area, export settings or mask mode.
    hand.Load(reader.comp,
        std::string("<Project CurrentFrame='200' ExportFramerate='fast'>") + kFootage
            + hand.Segment(12, 10, 20) + hand.Segment(30, 25, 40, "<MaskMode mode='Foo' inverted='1'/>")
            + hand.Segment(50, 45, 60, "<MaskMode mode='Darken' inverted='yes'/>") + "</Project>");
    TLComp& comp = reader.comp;
    EXPECT_EQ(comp.GetFrameCount(), 200);
    EXPECT_EQ(comp.GetWorkArea(), (My::Span { 0, 200 }));
    EXPECT_EQ(comp.GetCurrentFrame(), 0);
    EXPECT_EQ(comp.GetPreviewFrame(), 0);
    EXPECT_EQ(comp.GetExportFramerate().numerator, 50);
    EXPECT_EQ(comp.GetExportFramerate().denominator, 1u);
    EXPECT_EQ(comp.GetExportInaccuracy(), 1.0f);
    EXPECT_EQ(comp.GetFileName(), hand.Path());
    EXPECT_FALSE(comp.IsModified());
    ASSERT_EQ(comp.GetSegmentSet().GetCount(), 3);
    TLSegment& first = *comp.GetSegmentSet().GetAt(0);
    EXPECT_EQ(first.GetKeyFrame(), 12);
    EXPECT_EQ(first.GetTimeSpan(), (My::Span { 10, 20 }));
    EXPECT_EQ(first.GetMaskMode(), (MaskMode { MaskMode::Add, false }));
    EXPECT_EQ(comp.GetSegmentSet().GetAt(1)->GetMaskMode(), (MaskMode { MaskMode::Add, true }));
    EXPECT_EQ(comp.GetSegmentSet().GetAt(2)->GetMaskMode(), (MaskMode { MaskMode::Darken, false }));
    EXPECT_EQ(first.GetMask().count(), 144u);
    EXPECT_TRUE(comp.GetBackground().IsEmpty());

    // Written back: the full work area is left out, the rate is a number.
    comp.Store(hand.Path());
    const std::string written = ReadFile(hand.Path());
    EXPECT_EQ(written.find("WorkArea"), std::string::npos);
    EXPECT_NE(written.find("ExportFramerate=\"50\""), std::string::npos);
    EXPECT_NE(written.find("<Tavelo "), std::string::npos);
}

TEST(ProjectFile, WorkAreaAndCurrentFrameAreClamped)
{
    Handwritten hand;
    auto load = [&](const std::string& attributes, const std::string& area) {
        auto reader = std::make_unique<Reader>(hand.workspace);
        hand.Load(reader->comp, "<Tavelo " + attributes + ">" + kFootage + area + "</Tavelo>");
        return reader;
    };
    EXPECT_EQ(load("CurrentFrame='-1'", "<WorkArea First='-3' Last='5000'/>")->comp.GetWorkArea(),
        (My::Span { 0, 200 }));
    EXPECT_EQ(load("CurrentFrame='-1'", "")->comp.GetCurrentFrame(), 0);
    EXPECT_EQ(load("CurrentFrame='199'", "<WorkArea First='20' Last='30'/>")->comp.GetWorkArea(),
        (My::Span { 20, 30 }));
    EXPECT_EQ(load("CurrentFrame='199'", "")->comp.GetPreviewFrame(), 199);
    // A work area clamped to nothing, or reversed, is the whole footage.
    EXPECT_EQ(load("CurrentFrame='0'", "<WorkArea First='300' Last='400'/>")->comp.GetWorkArea(),
        (My::Span { 0, 200 }));
    EXPECT_EQ(load("CurrentFrame='0'", "<WorkArea First='50' Last='10'/>")->comp.GetWorkArea(),
        (My::Span { 0, 200 }));
}

// The report a failed open gives: the operation, then the exception's text.
std::string OpenReport(TLComp& comp, const std::string& path)
{
    My::ClearOperations();
    try {
        comp.Open(path, 0);
    } catch (const std::exception& error) {
        const std::string report = My::ComposeErrorReport(error.what());
        My::ClearOperations();
        return report;
    }
    return "opened";
}

TEST(ProjectFile, ASpanWithoutBothEndsAsNumbersRefusesTheProject)
{
    Handwritten hand;
    PromptScope prompts;
    Reader reader(hand.workspace);
    const std::string path = hand.Path();
    const std::string head = std::string("<Tavelo CurrentFrame='0'>") + kFootage;
    const std::string trimmed = "<Background><Footage type='seq' filter='plates\\back_????.png'/>";
    const std::pair<std::string, std::string> refused[] = {
        { head + "<WorkArea First='abc' Last='20'/></Tavelo>",
            "attribute parse error (\"First\" of element \"WorkArea\")" },
        { head + "<WorkArea First='7'/></Tavelo>", "attribute not found (\"Last\" of element \"WorkArea\")" },
        { head + "<WorkArea Last='7'/></Tavelo>", "attribute not found (\"First\" of element \"WorkArea\")" },
        { head + "<Segment origin='5'>" + hand.keymask + "<TimeSpan First='1' Last='x'/></Segment></Tavelo>",
            "attribute parse error (\"Last\" of element \"TimeSpan\")" },
        { head + trimmed + "<Trimming First='1'/></Background></Tavelo>",
            "attribute not found (\"Last\" of element \"Trimming\")" },
        { head + trimmed + "<Trimming First='' Last='9'/></Background></Tavelo>",
            "attribute parse error (\"First\" of element \"Trimming\")" },
    };
    for (const auto& [text, error] : refused) {
        WriteFile(path, text);
        EXPECT_EQ(OpenReport(reader.comp, path), "Error while opening project:\n" + path + ": " + error + ".")
            << text;
        ExpectClean(reader.comp);
    }
    // What the program writes opens: both ends, the open end included.
    hand.Load(reader.comp, head + "<WorkArea First='20' Last='2147483647'/></Tavelo>");
    EXPECT_EQ(reader.comp.GetWorkArea(), (My::Span { 20, 200 }));
}

TEST(ProjectFile, OpenErrorsNameTheFileAndWhereTheTextStoppedMatching)
{
    Handwritten hand;
    PromptScope prompts;
    Reader reader(hand.workspace);
    const std::string path = hand.Path();
    {
        // A project cut short in its third line.
        Workspace other;
        Project project(other, 40, 1);
        project.comp.Store(path);
        const std::string whole = ReadFile(path);
        std::size_t cut = 0;
        for (int line = 0; line < 2; ++line)
            cut = whole.find('\n', cut) + 1;
        WriteFile(path, whole.substr(0, cut + 5));
    }
    EXPECT_EQ(OpenReport(reader.comp, path),
        "Error while opening project:\n" + path + ": stream parse error at line 3.");
    ExpectClean(reader.comp);

    const std::string clip = hand.workspace.scratch.File("clip.avi");
    WriteFile(clip, std::string("RIFF\x20\0\0\0AVI LIST\x04\0\0\0hdrl", 24));
    EXPECT_EQ(OpenReport(reader.comp, clip),
        "Error while opening project:\n" + clip + ": stream parse error at line 1.");

    const std::string missing = hand.workspace.scratch.File("gone.tvp");
    EXPECT_EQ(OpenReport(reader.comp, missing),
        "Error while opening project:\ncannot read " + missing + ": No such file or directory.");
    const std::string folder = hand.workspace.scratch.File("plates");
    EXPECT_EQ(OpenReport(reader.comp, folder),
        "Error while opening project:\ncannot read " + folder + ": Is a directory.");

    // A key mask whose bytes are no picture names the project it is in.
    WriteFile(path,
        std::string("<Tavelo CurrentFrame='0'>") + kFootage
            + "<Segment origin='5'><keymask encoded='0011'/><TimeSpan First='1' "
              "Last='9'/></Segment></Tavelo>");
    const std::string report = OpenReport(reader.comp, path);
    EXPECT_EQ(report.rfind("Error while opening project:\n", 0), 0u) << report;
    EXPECT_NE(report.find(": " + path + "."), std::string::npos) << report;
    ExpectClean(reader.comp);
}

TEST(ProjectFile, ExportSettingsReadAndWrite)
{
    Handwritten hand;
    auto roundTrip = [&](const std::string& attributes) {
        Reader reader(hand.workspace);
        hand.Load(reader.comp, "<Tavelo CurrentFrame='0' " + attributes + ">" + kFootage + "</Tavelo>");
        reader.comp.Store(hand.Path());
        const std::string text = ReadFile(hand.Path());
        return Cut(text, "ExportFramerate=", "\" ") + Cut(text, "ExportInaccuracy=\"", "\"");
    };
    // A zero denominator never reaches a division.
    EXPECT_EQ(roundTrip("ExportFramerate='25/0'"), "ExportFramerate=\"50\" ExportInaccuracy=\"1\"");
    EXPECT_EQ(roundTrip("ExportFramerate='50/2'"), "ExportFramerate=\"25\" ExportInaccuracy=\"1\"");
    EXPECT_EQ(roundTrip("ExportFramerate='30000/1001' ExportInaccuracy='0.25'"),
        "ExportFramerate=\"30000/1001\" ExportInaccuracy=\"0.25\"");
    EXPECT_EQ(roundTrip("ExportFramerate='-25' ExportInaccuracy='-4'"),
        "ExportFramerate=\"50\" ExportInaccuracy=\"0\"");
    EXPECT_EQ(roundTrip("ExportFramerate='0/0' ExportInaccuracy='lots'"),
        "ExportFramerate=\"50\" ExportInaccuracy=\"1\"");
}

TEST(ProjectFile, SegmentsThatDoNotFitAreDropped)
{
    Handwritten hand;
    Reader reader(hand.workspace);
    std::string smallMask = hand.keymask;
    {
        // The key mask of a 32 x 24 composition.
        Scratch other;
        Workspace small;
        Project project(small, 40, 1);
        project.comp.SetFootage(
            small.library.create_footage(WriteSequence(small.scratch.File("s"), "s", 20, 32, 24)));
        project.comp.GetSegmentSet().Clear();
        project.comp.GetSegmentSet().CreateSegment(3)->SetMask(Blob(32, 24, 1, 1, 5), "");
        project.comp.Store(other.File("s.tvp"));
        smallMask = Cut(ReadFile(other.File("s.tvp")), "<keymask", "/>");
    }
    hand.Load(reader.comp,
        std::string("<Tavelo CurrentFrame='0'>") + kFootage
            + hand.Segment(30, 10, 20) // key frame after the span
            + hand.Segment(10, 10, 20) // fits
            + hand.Segment(20, 10, 20) // key frame at the span's (exclusive) end
            + "<Segment origin='5'>" + smallMask + "<TimeSpan First='1' Last='9'/></Segment>"
            + hand.Segment(195, 190, 500) // time span clamped to the footage
            + hand.Segment(250, 240, 260) // outside the footage
            + "</Tavelo>");
    TLSegmentSet& set = reader.comp.GetSegmentSet();
    ASSERT_EQ(set.GetCount(), 2);
    EXPECT_EQ(set.GetAt(0)->GetKeyFrame(), 10);
    EXPECT_EQ(set.GetAt(1)->GetTimeSpan(), (My::Span { 190, 200 }));
}

TEST(ProjectFile, ResultsBeyondTheFootageAreTrimmed)
{
    Workspace workspace;
    const std::string path = workspace.scratch.File("p.tvp");
    {
        Project project(workspace, 60, 10);
        project.comp.Store(path);
    }
    // The same project on a shorter footage: the results of the third
    // segment (frames 20 to 29) are cut at frame 24.
    std::string text = ReadFile(path);
    WriteSequence(workspace.scratch.File("short"), "shot", 24, 64, 48);
    const auto at = text.find("plates\\shot_????.png");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 20, "short\\shot_????.png");
    WriteFile(path, text);
    Reader reader(workspace);
    reader.comp.Open(path, 0);
    TLSegment& top = *reader.comp.GetSegmentSet().GetAt(0);
    EXPECT_EQ(top.GetKeyFrame(), 20);
    EXPECT_EQ(top.GetTimeSpan(), (My::Span { 18, 24 }));
    EXPECT_EQ(top.GetDataSpan(), (My::Span { 20, 24 }));
    EXPECT_TRUE(top.GetEngine()->frame_data(23));
    EXPECT_FALSE(top.GetEngine()->frame_data(24));
    // The background (48 frames of the same size) stays.
    EXPECT_FALSE(reader.comp.GetBackground().IsEmpty());
}

TEST(ProjectFile, BackgroundDefaultsAndSize)
{
    Handwritten hand;
    auto load = [&](const std::string& background) {
        auto reader = std::make_unique<Reader>(hand.workspace);
        hand.Load(
            reader->comp, std::string("<Tavelo CurrentFrame='0'>") + kFootage + background + "</Tavelo>");
        return reader;
    };
    auto reader = load("<Background><Footage type='seq' filter='plates\\back_????.png'/>"
                       "<Trimming First='5' Last='5'/></Background>");
    Background& layer = reader->comp.GetBackground();
    ASSERT_FALSE(layer.IsEmpty());
    EXPECT_EQ(layer.GetTrimming(), (My::Span { 0, 100 }));
    EXPECT_EQ(layer.GetStart(), 0);
    reader->comp.Store(hand.Path());
    const std::string written = Cut(ReadFile(hand.Path()), "<Background", "</Background>");
    EXPECT_EQ(written.find("SourceOffset"), std::string::npos);
    EXPECT_NE(written.find("<Trimming First=\"0\" Last=\"100\"/>"), std::string::npos);

    reader = load("<Background SourceOffset='-7'><Footage type='seq' filter='plates\\back_????.png'/>"
                  "<Trimming First='-5' Last='500'/></Background>");
    EXPECT_EQ(reader->comp.GetBackground().GetStart(), -7);
    EXPECT_EQ(reader->comp.GetBackground().GetTrimming(), (My::Span { 0, 100 }));
    // Another frame size, an empty element, no footage: no background.
    EXPECT_TRUE(load("<Background><Footage type='seq' filter='plates\\small_????.png'/>"
                     "<Trimming First='1' Last='5'/></Background>")
                    ->comp.GetBackground()
                    .IsEmpty());
    EXPECT_TRUE(load("<Background/>")->comp.GetBackground().IsEmpty());
    EXPECT_TRUE(load("<Background SourceOffset='3'><Trimming First='1' Last='5'/></Background>")
                    ->comp.GetBackground()
                    .IsEmpty());
}

TEST(ProjectFile, SaveLoadSaveIsByteIdentical)
{
    Workspace workspace;
    const std::string first = workspace.scratch.File("first.tvp");
    const std::string second = workspace.scratch.File("second.tvp");
    {
        Project project(workspace, 60, 10);
        project.comp.Store(first);
    }
    Reader reader(workspace);
    reader.comp.Open(first, 0);
    reader.comp.Store(second);
    const std::string a = ReadFile(first);
    ASSERT_GT(a.size(), 1000u);
    EXPECT_EQ(a, ReadFile(second));

    // What was read is what was saved.
    TLComp& comp = reader.comp;
    EXPECT_EQ(comp.GetWorkArea(), (My::Span { 5, 55 }));
    EXPECT_EQ(comp.GetCurrentFrame(), 7);
    EXPECT_EQ(comp.GetExportFramerate().numerator, 30000);
    EXPECT_EQ(comp.GetExportFramerate().denominator, 1001u);
    EXPECT_EQ(comp.GetExportInaccuracy(), 0.5f);
    ASSERT_EQ(comp.GetSegmentSet().GetCount(), 3);
    const MaskMode modes[3]
        = { { MaskMode::Difference, false }, { MaskMode::Add, true }, { MaskMode::Substitute, false } };
    for (int i = 0; i < 3; ++i) {
        TLSegment& segment = *comp.GetSegmentSet().GetAt(i);
        const int key = 20 - 5 * i;
        EXPECT_EQ(segment.GetKeyFrame(), key);
        EXPECT_EQ(segment.GetTimeSpan(), (My::Span { key - 2, key + 13 }));
        EXPECT_EQ(segment.GetDataSpan(), (My::Span { key, key + 10 }));
        EXPECT_EQ(segment.GetMaskMode(), modes[i]);
        const auto record = segment.GetEngine()->frame_data(key + 4);
        ASSERT_TRUE(record);
        EXPECT_EQ(record->bit_mask.count(), 16u * 16u);
        EXPECT_EQ(record->contour.size(), 4u);
    }
    EXPECT_TRUE(comp.GetSegmentSet().GetAt(1)->GetEngine()->has_encoded_mask(18));
    EXPECT_EQ(comp.GetBackground().GetStart(), 3);
    EXPECT_EQ(comp.GetBackground().GetTrimming(), (My::Span { 2, 40 }));
}

TEST(ProjectFile, FootageIsFoundWithoutRegardToCase)
{
    Handwritten hand;
    PromptScope prompts;
    Reader reader(hand.workspace);
    hand.Load(reader.comp,
        "<Tavelo CurrentFrame='0'><Footage type='seq' filter='PLATES/Shot_????.png'/>"
        "<Background><Footage type='seq' filter='.\\Plates\\BACK_????.png'/>"
        "<Trimming First='1' Last='5'/></Background></Tavelo>");
    EXPECT_EQ(reader.comp.GetFrameCount(), 200);
    EXPECT_EQ(reader.comp.GetBackground().GetTrimming(), (My::Span { 1, 5 }));
    EXPECT_TRUE(prompts.prompt.texts.empty());
    // Saved with the case found on disc.
    reader.comp.Store(hand.Path());
    EXPECT_NE(ReadFile(hand.Path()).find("filter=\"plates\\shot_????.png\""), std::string::npos);
}

TEST(ProjectFile, MissingFootageOpensWithItsMasksAndIsWrittenBack)
{
    Handwritten hand;
    PromptScope prompts;
    Reader reader(hand.workspace);
    const std::string footage = "<Footage type='dil' field='upper_first' method='duplicate'>"
                                "<supplier type='avi' path='d:\\clips\\Gone.avi'/></Footage>";
    hand.Load(reader.comp,
        "<Tavelo CurrentFrame='30'><WorkArea First='2' Last='80'/>" + footage + hand.Segment(12, 10, 120)
            + "<Background><Footage type='still' path='nowhere.png'/><Trimming First='0' "
              "Last='0'/></Background>"
              "</Tavelo>");
    TLComp& comp = reader.comp;
    EXPECT_FALSE(comp.IsEmpty());
    ASSERT_EQ(prompts.prompt.texts.size(), 2u);
    // The notices name the files as looked for on this system.
    EXPECT_EQ(prompts.prompt.texts[0],
        "The footage file 'd:/clips/Gone.avi' was not found.\nThe project opens without it.");
    EXPECT_NE(prompts.prompt.texts[1].find("'" + hand.workspace.scratch.File("nowhere.png") + "'"),
        std::string::npos)
        << prompts.prompt.texts[1];
    EXPECT_EQ(comp.GetFrameCount(), 120);
    EXPECT_EQ(comp.GetFrameSize().width, 64u);
    EXPECT_EQ(comp.GetFrameSize().height, 48u);
    EXPECT_EQ(comp.GetWorkArea(), (My::Span { 2, 80 }));
    EXPECT_EQ(comp.GetCurrentFrame(), 30);
    ASSERT_EQ(comp.GetSegmentSet().GetCount(), 1);
    EXPECT_EQ(comp.GetSegmentSet().GetAt(0)->GetMask().count(), 144u);
    EXPECT_FALSE(comp.GetBackground().IsEmpty());
    const auto frame = comp.GetFootage()->frame(5, 0, true);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->image.width, 64u);

    // Saved into another folder, the element comes back as stored.
    fs::create_directories(hand.workspace.scratch.File("elsewhere"));
    const std::string moved = hand.workspace.scratch.File("elsewhere/moved.tvp");
    comp.Store(moved);
    const std::string text = ReadFile(moved);
    EXPECT_NE(text.find("<supplier path=\"d:\\clips\\Gone.avi\" type=\"avi\"/>"), std::string::npos);
    EXPECT_NE(text.find("field=\"upper_first\""), std::string::npos);
    EXPECT_NE(text.find("<Footage path=\"..\\nowhere.png\" type=\"still\"/>"), std::string::npos) << text;
}

TEST(ProjectFile, RelativeMissingFootageKeepsItsPlaceWhenSavedElsewhere)
{
    Handwritten hand;
    PromptScope prompts;
    Reader reader(hand.workspace);
    hand.Load(reader.comp, "<Tavelo CurrentFrame='0'><Footage type='avi' path='clips\\gone.avi'/></Tavelo>");
    EXPECT_EQ(reader.comp.GetFrameCount(), 1);
    fs::create_directories(hand.workspace.scratch.File("sub"));
    reader.comp.Store(hand.workspace.scratch.File("sub/p.tvp"));
    EXPECT_NE(ReadFile(hand.workspace.scratch.File("sub/p.tvp")).find("path=\"..\\clips\\gone.avi\""),
        std::string::npos);
}

// Results past a segment's tracking bounds are kept while the footage is
// missing: the black stand-in lasts as long as the results, and saving
// writes them all back.
TEST(ProjectFile, ResultsPastTheBoundsSurviveAMissingFootageAndItsSave)
{
    Workspace workspace;
    PromptScope prompts;
    const std::string path = workspace.scratch.File("p.tvp");
    {
        Project project(workspace, 60, 10);
        TLSegmentSet& set = project.comp.GetSegmentSet();
        // Results {20, 30}, {15, 25} and {10, 20} under tighter bounds.
        set.GetAt(0)->SetTimeSpan(18, 22);
        set.GetAt(1)->SetTimeSpan(13, 17);
        set.GetAt(2)->SetTimeSpan(8, 12);
        project.comp.SetWorkArea(0, 25);
        project.comp.Store(path);
    }
    std::string text = ReadFile(path);
    const auto at = text.find("plates\\shot_????.png");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 20, "gone\\shot_????.png");
    WriteFile(path, text);

    const std::string saved = workspace.scratch.File("saved.tvp");
    for (const std::string& file : { path, saved }) {
        Reader reader(workspace);
        reader.comp.Open(file, 0);
        TLComp& comp = reader.comp;
        EXPECT_EQ(comp.GetFrameCount(), 30) << file;
        EXPECT_EQ(comp.GetWorkArea(), (My::Span { 0, 25 })) << file;
        TLSegment& top = *comp.GetSegmentSet().GetAt(0);
        EXPECT_EQ(top.GetTimeSpan(), (My::Span { 18, 22 })) << file;
        EXPECT_EQ(top.GetDataSpan(), (My::Span { 20, 30 })) << file;
        EXPECT_TRUE(top.GetEngine()->frame_data(29)) << file;
        EXPECT_EQ(comp.GetSegmentSet().GetAt(1)->GetDataSpan(), (My::Span { 15, 25 })) << file;
        if (file == path)
            comp.Store(saved);
    }
    EXPECT_NE(ReadFile(saved).find("filter=\"gone\\shot_????.png\""), std::string::npos);
}

// While the footage is missing, a work area that the project left running to
// the footage's end keeps that end when only its start is moved: the
// stand-in's length, implied by the segments and the current frame, never
// becomes the stored end. An end the user moves is stored as moved.
TEST(ProjectFile, WorkAreaEndTheUserLeftSurvivesAMissingFootageAndItsSave)
{
    Handwritten hand;
    PromptScope prompts;
    const std::string startMoved = hand.workspace.scratch.File("start.tvp");
    const std::string bothMoved = hand.workspace.scratch.File("both.tvp");
    const std::string resaved = hand.workspace.scratch.File("resaved.tvp");
    {
        Reader reader(hand.workspace);
        hand.Load(reader.comp,
            "<Tavelo CurrentFrame='100'><Footage type='seq' filter='gone\\shot_????.png'/>"
                + hand.Segment(12, 10, 111) + "</Tavelo>");
        ASSERT_EQ(reader.comp.GetFrameCount(), 111);
        EXPECT_EQ(reader.comp.GetWorkArea(), (My::Span { 0, 111 }));
        reader.comp.SetWorkArea(5, 111);
        reader.comp.Store(startMoved);
        reader.comp.SetWorkArea(5, 60);
        reader.comp.Store(bothMoved);
    }
    {
        // Still missing: the same stand-in, and a save without edits keeps
        // the end where the file left it.
        Reader reader(hand.workspace);
        reader.comp.Open(startMoved, 0);
        EXPECT_EQ(reader.comp.GetFrameCount(), 111);
        EXPECT_EQ(reader.comp.GetWorkArea(), (My::Span { 5, 111 }));
        reader.comp.Store(resaved);
    }
    // The clip is back.
    WriteSequence(hand.workspace.scratch.File("gone"), "shot", 200, 64, 48);
    const std::pair<std::string, My::Span> expected[]
        = { { startMoved, { 5, 200 } }, { resaved, { 5, 200 } }, { bothMoved, { 5, 60 } } };
    for (const auto& [file, area] : expected) {
        Reader reader(hand.workspace);
        reader.comp.Open(file, 0);
        EXPECT_EQ(reader.comp.GetFrameCount(), 200) << file;
        EXPECT_EQ(reader.comp.GetWorkArea(), area) << file;
    }
}

// A sequence whose folder is still there but whose files are gone is missing
// footage like any other: the project opens over black frames with the
// notice, naming the pattern looked for.
TEST(ProjectFile, SequenceWhoseFilesAreGoneOpensAsMissingFootage)
{
    Handwritten hand;
    PromptScope prompts;
    Reader reader(hand.workspace);
    hand.Load(reader.comp,
        "<Tavelo CurrentFrame='3'><Footage type='seq' filter='plates\\gone_????.png'/>"
            + hand.Segment(12, 10, 40) + "</Tavelo>");
    TLComp& comp = reader.comp;
    ASSERT_FALSE(comp.IsEmpty());
    EXPECT_EQ(comp.GetFrameCount(), 40);
    EXPECT_EQ(comp.GetFrameSize().width, 64u);
    EXPECT_EQ(comp.GetSegmentSet().GetCount(), 1);
    ASSERT_EQ(prompts.prompt.texts.size(), 1u);
    EXPECT_EQ(prompts.prompt.texts[0],
        "The footage file '" + hand.workspace.scratch.File("plates/gone_????.png")
            + "' was not found.\nThe project opens without it.");
    comp.Store(hand.Path());
    EXPECT_NE(ReadFile(hand.Path()).find("filter=\"plates\\gone_????.png\""), std::string::npos);

    // A pattern that matches a file under another case is found.
    prompts.prompt.texts.clear();
    Reader other(hand.workspace);
    hand.Load(other.comp,
        std::string("<Tavelo CurrentFrame='0'><Footage type='seq' filter='plates\\SHOT_????.PNG'/>")
            + "</Tavelo>");
    EXPECT_EQ(other.comp.GetFrameCount(), 200);
    EXPECT_TRUE(prompts.prompt.texts.empty());
}

// A background whose file is gone keeps its element, start offset and
// trimming through opening and saving.
TEST(ProjectFile, MissingBackgroundKeepsItsElementOffsetAndTrimming)
{
    Handwritten hand;
    PromptScope prompts;
    Reader reader(hand.workspace);
    hand.Load(reader.comp,
        std::string("<Tavelo CurrentFrame='0'>") + kFootage
            + "<Background SourceOffset='-4'><Footage type='seq' filter='gone\\back_????.png'/>"
              "<Trimming First='3' Last='70'/></Background></Tavelo>");
    TLComp& comp = reader.comp;
    ASSERT_EQ(prompts.prompt.texts.size(), 1u);
    const Background& layer = comp.GetBackground();
    ASSERT_FALSE(layer.IsEmpty());
    EXPECT_EQ(layer.GetStart(), -4);
    EXPECT_EQ(layer.GetTrimming(), (My::Span { 3, 70 }));
    EXPECT_EQ(layer.GetFootage()->frame_size().width, 64u);
    EXPECT_EQ(layer.GetFootage()->frame_size().height, 48u);
    EXPECT_EQ(layer.GetFootageFrame(10), 14);
    const auto frame = layer.GetFootage()->frame(14, 0, true);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->image.width, 64u);

    comp.Store(hand.Path());
    const std::string written = Cut(ReadFile(hand.Path()), "<Background", "</Background>");
    EXPECT_NE(written.find("SourceOffset=\"-4\""), std::string::npos) << written;
    EXPECT_NE(written.find("<Footage filter=\"gone\\back_????.png\" type=\"seq\"/>"), std::string::npos)
        << written;
    EXPECT_NE(written.find("<Trimming First=\"3\" Last=\"70\"/>"), std::string::npos) << written;

    // A missing still keeps an empty trimming as stored.
    Reader still(hand.workspace);
    hand.Load(still.comp,
        std::string("<Tavelo CurrentFrame='0'>") + kFootage
            + "<Background><Footage type='still' path='gone.png'/><Trimming First='0' Last='0'/></Background>"
              "</Tavelo>");
    EXPECT_EQ(still.comp.GetBackground().GetTrimming(), (My::Span { 0, 0 }));
    EXPECT_EQ(still.comp.GetBackground().GetLength(), 200);
}

// A missing footage without segments takes its frame size from a background
// that was found, which therefore stays.
TEST(ProjectFile, FoundBackgroundGivesAMissingFootageWithoutSegmentsItsSize)
{
    Handwritten hand;
    PromptScope prompts;
    Reader reader(hand.workspace);
    hand.Load(reader.comp,
        "<Tavelo CurrentFrame='0'><Footage type='avi' path='gone.avi'/>"
        "<Background><Footage type='seq' filter='plates\\back_????.png'/><Trimming First='1' Last='9'/>"
        "</Background></Tavelo>");
    TLComp& comp = reader.comp;
    EXPECT_EQ(comp.GetFrameSize().width, 64u);
    EXPECT_EQ(comp.GetFrameSize().height, 48u);
    ASSERT_FALSE(comp.GetBackground().IsEmpty());
    EXPECT_EQ(comp.GetBackground().GetTrimming(), (My::Span { 1, 9 }));
    EXPECT_EQ(comp.GetBackground().GetFootage()->frame_count(), 100);
}

TEST(ProjectFile, SavingIntoAMissingFolderFailsAndWritesNothing)
{
    Workspace workspace;
    Project project(workspace, 40, 2);
    const std::string path = workspace.scratch.File("no/such/folder/p.tvp");
    EXPECT_ANY_THROW(project.comp.Store(path));
    EXPECT_FALSE(fs::exists(workspace.scratch.File("no")));
}

// A footage that cannot write itself, so that saving fails half-way.
struct UnsavableFootage : segment_testing::SceneFootage {
    UnsavableFootage()
        : SceneFootage(10)
    {
    }
    void serialize(xml::stream& stream, const std::string&) override
    {
        if (!stream.reading)
            throw xtd::exception("the footage cannot be written");
    }
};

TEST(ProjectFile, FailedSaveKeepsTheLastGoodProjectAndIsReportedAsSaving)
{
    Scratch scratch;
    const std::string path = scratch.File("good.tvp");
    WriteFile(path, "the last good project");
    TLComp comp;
    comp.SetFootage(boost::make_shared<UnsavableFootage>());
    comp.GetSegmentSet().CreateSegment(2);
    My::ClearOperations();
    try {
        comp.SaveAs(path);
        ADD_FAILURE() << "saved";
    } catch (const std::exception& error) {
        EXPECT_EQ(My::ComposeErrorReport(error.what()),
            "Error while saving project:\nthe footage cannot be written.");
    }
    My::ClearOperations();
    EXPECT_EQ(ReadFile(path), "the last good project");
    EXPECT_EQ(std::distance(fs::directory_iterator(scratch.Root()), fs::directory_iterator()), 1);
    EXPECT_TRUE(comp.IsModified());
}

// A load into a composition that is still open starts from a closed one.
TEST(ProjectFile, LoadingIntoAnOpenCompositionReplacesIt)
{
    Workspace workspace;
    const std::string path = workspace.scratch.File("p.tvp");
    Project project(workspace, 40, 2);
    project.comp.Store(path);
    project.comp.Open(path, 0);
    EXPECT_EQ(project.comp.GetSegmentSet().GetCount(), 3);
    EXPECT_FALSE(project.comp.IsModified());
}

// The child side of the kill test: saves the project over and over until
// killed. Runs only when the kill test starts it.
TEST(ProjectFileKill, SaverChild)
{
    const char* target = std::getenv("TAVELO_KILL_TARGET");
    if (!target)
        GTEST_SKIP() << "started by ProjectFileKill.SigkillDuringSavesNeverLeavesAnUnreadableProject";
    Workspace workspace;
    Project project(workspace, 600, 550, fs::path(target).parent_path() / "plates");
    std::ofstream(std::string(target) + ".ready") << "1";
    for (;;)
        project.comp.Store(target);
}

TEST(ProjectFileKill, SigkillDuringSavesNeverLeavesAnUnreadableProject)
{
    Workspace workspace;
    const std::string target = workspace.scratch.File("kill.tvp");
    std::chrono::steady_clock::duration saveTime {};
    {
        Project project(workspace, 600, 550);
        const auto start = std::chrono::steady_clock::now();
        project.comp.Store(target);
        saveTime = std::chrono::steady_clock::now() - start;
    }
    const std::string good = ReadFile(target);
    ASSERT_GT(good.size(), 500000u);
    std::mt19937 random(1234);
    std::string self = fs::read_symlink("/proc/self/exe").string();
    // Each round starts a child that builds the project before it saves,
    // which a sanitizer build or a busy machine makes many times slower: the
    // rounds stop once a time budget well inside the test's limit is spent,
    // after the least number that still kills at many places.
    constexpr int most_rounds = 50;
    constexpr int least_rounds = 5;
    const auto budget = std::chrono::seconds(150);
    const auto began = std::chrono::steady_clock::now();
    for (int round = 0;
         round < most_rounds && (round < least_rounds || std::chrono::steady_clock::now() - began < budget);
         ++round) {
        fs::remove(target + ".ready");
        std::string variable = "TAVELO_KILL_TARGET=" + target;
        // The child's own scratch folders go inside ours.
        std::string temporary = "TMPDIR=" + workspace.scratch.Root().string();
        std::vector<char*> env;
        for (char** e = environ; *e; ++e)
            if (std::strncmp(*e, "TMPDIR=", 7) != 0)
                env.push_back(*e);
        env.push_back(variable.data());
        env.push_back(temporary.data());
        env.push_back(nullptr);
        std::string filter = "--gtest_filter=ProjectFileKill.SaverChild";
        char* argv[] = { self.data(), filter.data(), nullptr };
        pid_t child = 0;
        ASSERT_EQ(posix_spawn(&child, self.c_str(), nullptr, nullptr, argv, env.data()), 0);
        const auto start = std::chrono::steady_clock::now();
        while (!fs::exists(target + ".ready")
            && std::chrono::steady_clock::now() - start < std::chrono::seconds(60))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        // Anywhere within the next three saves.
        const auto span = std::chrono::duration_cast<std::chrono::microseconds>(saveTime).count() * 3 + 1;
        std::this_thread::sleep_for(std::chrono::microseconds(random() % span));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "round " << round;
        // Whole, and the project it was.
        ASSERT_TRUE(ReadFile(target) == good) << "round " << round;
    }
    Reader reader(workspace);
    reader.comp.Open(target, 0);
    EXPECT_EQ(reader.comp.GetSegmentSet().GetCount(), 3);
}

} // namespace
