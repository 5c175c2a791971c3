// Segments without the worker: construction, the checks of the setters, the
// undoable edits of mask, parameters, time span, mode and trim, the key mask
// files, and the commands' states.

#include "document/properties/TypedProperty.h"
#include "document/segments/SegmentData.h"
#include "document/segments/TLSegmentSet.h"
#include "document/tests/segment_test_support.h"
#include "foundation/files/bmp_reader.h"
#include "foundation/system/exception.h"
#include "widgets/core/Event.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {

using namespace segment_testing;

struct Doc : SegmentDoc {
    using SegmentDoc::SegmentDoc;
    TLSegment& New(int frame) { return *Set().CreateSegment(frame); }
    My::ActionHistory& History() { return comp.GetHistory(); }
};

// Stores records with crisp masks for the frames of span as the segment's
// results.
void FillResults(TLSegment& s, My::Span span)
{
    auto& engine = *s.GetEngine();
    engine.set_range(
        { std::min(span.first, engine.range().first), std::max(span.last, engine.range().last) });
    for (int f = span.first; f < span.last; ++f) {
        auto record = boost::make_shared<trm::frame_record>();
        record->bit_mask = BlockMask();
        engine.store(f, record, { span.first, f + 1 }, { engine.origin(), engine.origin() });
    }
    s.SetDataSpan(span.first, span.last);
}

// A segment keyed at frame 10 over frames 8 to 13, with a key mask and
// results on every frame.
TLSegment& WithResults(Doc& d)
{
    TLSegment& s = d.New(10);
    s.SetTimeSpan(8, 14);
    s.SetMask(BlockMask(), "Brush");
    FillResults(s, { 8, 14 });
    return s;
}

struct FakeCommandUI : My::CommandUI {
    bool enabled = false;
    void Enable(bool e) override { enabled = e; }
    void SetCheck(int) override { }
    void SetRadio(bool) override { }
    void SetText(const std::string&) override { }
    bool IsMenuItem() const override { return true; }
};

bool Enabled(TLSegment& s, std::uint32_t id)
{
    FakeCommandUI ui;
    My::UpdateCommandUIEvent update(id, &ui);
    EXPECT_TRUE(s.RouteCommand(update)) << id;
    return ui.enabled;
}

std::string TempPath(const std::string& name)
{
    return (std::filesystem::temp_directory_path()
        / ("tavelo_segment_" + std::to_string(::getpid()) + "_" + name))
        .string();
}

TEST(TLSegment, TimeSpanWithoutTheKeyFrameOrEndingBeforeItStartsIsRefused)
{
    Doc d;
    TLSegment& s = d.New(10);
    const std::size_t entries = d.History().GetCount();
    EXPECT_THROW(s.SetTimeSpan(11, 20), xtd::exception);
    EXPECT_THROW(s.SetTimeSpan(5, 10), xtd::exception);
    EXPECT_THROW(s.SetTimeSpan(10, 10), xtd::exception);
    EXPECT_THROW(s.SetTimeSpan(20, 5), xtd::exception);
    EXPECT_EQ(s.GetTimeSpan(), (My::Span { 10, 11 }));
    s.SetTimeSpan(10, 11);
    EXPECT_EQ(d.History().GetCount(), entries);
    s.SetTimeSpan(10, 12);
    EXPECT_EQ(d.History().GetUndoName(), "Adjust Segment");
}

TEST(TLSegment, KeyMaskOfAnotherSizeIsRefusedNamingBothSizes)
{
    Doc d;
    TLSegment& s = d.New(10);
    try {
        s.SetMask(BlockMask(100, 100), "Brush");
        FAIL() << "accepted";
    } catch (const xtd::exception& e) {
        const std::string text = e.what();
        EXPECT_NE(text.find("100x100"), std::string::npos) << text;
        EXPECT_NE(text.find("64x48"), std::string::npos) << text;
    }
    EXPECT_EQ(s.GetMask().count(), 0u);
}

TEST(TLSegment, NewSegmentHasAClearKeyMaskAndCannotBeProcessed)
{
    Doc d;
    TLSegment& s = d.New(10);
    EXPECT_EQ(s.GetKeyFrame(), 10);
    EXPECT_EQ(s.GetTimeSpan(), (My::Span { 10, 11 }));
    EXPECT_EQ(s.GetDataSpan(), (My::Span { 10, 10 }));
    EXPECT_EQ(s.GetMaskMode(), (MaskMode { MaskMode::Substitute, false }));
    EXPECT_EQ(s.GetMask().width, kWidth);
    EXPECT_EQ(s.GetMask().height, kHeight);
    EXPECT_EQ(s.GetMask().count(), 0u);
    EXPECT_FALSE(s.CanProcess());
    // No worker: nothing is queued.
    s.SetMask(BlockMask(), "Brush");
    EXPECT_TRUE(s.CanProcess());
    EXPECT_FALSE(s.RequestProcessing());
    EXPECT_FALSE(s.IsProcessing());

    img::image<img::bit> full(kWidth, kHeight, 4);
    full.fill(true);
    s.SetMask(full, "Fill");
    EXPECT_FALSE(s.CanProcess());
    EXPECT_EQ(s.GetTypeName(), "Segment");
}

TEST(TLSegment, MaskEditUndoesAndRedoesTheWholeEngineState)
{
    Doc d;
    TLSegment& s = WithResults(d);
    const auto withResults = s.GetEngine();
    const auto record = withResults->frame_data(12);

    img::image<img::bit> other = BlockMask();
    other.at(0, 0) = true;
    s.SetMask(other, "");
    EXPECT_EQ(d.History().GetUndoName(), "Change Mask");
    EXPECT_EQ(s.GetDataSpan(), (My::Span { 10, 10 }));
    EXPECT_FALSE(s.GetEngine()->has_mask(12));
    EXPECT_NE(s.GetEngine(), withResults);

    d.History().Undo();
    EXPECT_EQ(s.GetEngine(), withResults);
    EXPECT_EQ(s.GetEngine()->frame_data(12), record);
    EXPECT_EQ(s.GetMask().count(), BlockMask().count());
    d.History().Redo();
    EXPECT_EQ(s.GetMask().count(), other.count());
    EXPECT_FALSE(s.GetEngine()->has_mask(12));
}

TEST(TLSegment, MaskCommitThatLeavesEveryPixelAsItWasKeepsTheResultsAndRecordsNothing)
{
    Doc d;
    TLSegment& s = WithResults(d);
    const auto withResults = s.GetEngine();
    const std::size_t entries = d.History().GetCount();
    const int modified = d.History().GetModifiedCounter();

    // The same pixels in another layout (bottom-up rows).
    img::image<img::bit> same(kWidth, kHeight, 8);
    same.fill(true);
    same.top_down = false;
    same.update_rows();
    for (unsigned y = 0; y < kHeight; ++y)
        for (unsigned x = 0; x < kWidth; ++x)
            same.at(x, y) = static_cast<bool>(s.GetMask().at(x, y));
    for (const char* name : { "Brush", "Erase", "Fill" })
        s.SetMask(same, name);
    EXPECT_EQ(d.History().GetCount(), entries);
    EXPECT_EQ(d.History().GetModifiedCounter(), modified);
    EXPECT_EQ(s.GetEngine(), withResults);
    EXPECT_EQ(s.GetDataSpan(), (My::Span { 8, 14 }));
    EXPECT_TRUE(s.GetEngine()->has_mask(12));

    // One pixel off is an edit.
    same.at(0, 0) = !same.at(0, 0);
    s.SetMask(same, "Brush");
    EXPECT_EQ(d.History().GetUndoName(), "Brush");
    EXPECT_EQ(s.GetDataSpan(), (My::Span { 10, 10 }));
}

TEST(TLSegment, ParameterEditThatChangesNothingIsNotRecorded)
{
    Doc d;
    TLSegment& s = d.New(10);
    struct Params : My::EventListener {
        int changes = 0;
        void OnEvent(My::Event& e) override
        {
            changes += dynamic_cast<TLSegment::ParamsChange*>(&e) != nullptr;
        }
    } params;
    s.AddListener(&params);
    const std::size_t entries = d.History().GetCount();
    s.SetParams(trm::param());
    EXPECT_EQ(d.History().GetCount(), entries);
    EXPECT_EQ(params.changes, 0);

    trm::param p;
    p.dilation_erosion = 99; // clamped to 25
    s.SetParams(p);
    EXPECT_EQ(d.History().GetUndoName(), "Change Parameters");
    EXPECT_EQ(s.GetParams().dilation_erosion, 25);
    EXPECT_EQ(params.changes, 1);
    EXPECT_TRUE(Enabled(s, 33227));
    d.History().Undo();
    EXPECT_EQ(s.GetParams().dilation_erosion, 0);
    EXPECT_EQ(params.changes, 2);
    EXPECT_FALSE(Enabled(s, 33227));
    d.History().Redo();
    EXPECT_EQ(s.GetParams().dilation_erosion, 25);

    // "Reset Parameters".
    My::CommandEvent reset(33227);
    EXPECT_TRUE(s.RouteCommand(reset));
    EXPECT_EQ(s.GetParams().dilation_erosion, 0);
    s.RemoveListener(&params);
}

TEST(TLSegment, TrimKeepsTheResultsInsideTheTimeSpanAndUndoes)
{
    Doc d;
    TLSegment& s = d.New(15);
    s.SetMask(BlockMask(), "Brush");
    FillResults(s, { 5, 30 });
    s.SetTimeSpan(10, 20);
    EXPECT_TRUE(Enabled(s, 33125));
    const auto before = s.GetEngine();

    My::CommandEvent trim(33125);
    EXPECT_TRUE(s.RouteCommand(trim));
    EXPECT_EQ(d.History().GetUndoName(), "Trim Data");
    EXPECT_EQ(s.GetDataSpan(), (My::Span { 10, 20 }));
    EXPECT_FALSE(s.GetEngine()->has_mask(9));
    EXPECT_TRUE(s.GetEngine()->has_mask(10));
    EXPECT_TRUE(s.GetEngine()->has_mask(19));
    EXPECT_FALSE(s.GetEngine()->has_mask(20));
    EXPECT_TRUE(before->has_mask(25));
    EXPECT_FALSE(Enabled(s, 33125));

    d.History().Undo();
    EXPECT_EQ(s.GetEngine(), before);
    EXPECT_EQ(s.GetDataSpan(), (My::Span { 5, 30 }));
    d.History().Redo();
    EXPECT_EQ(s.GetDataSpan(), (My::Span { 10, 20 }));
    EXPECT_FALSE(s.GetEngine()->has_mask(25));

    // Nothing outside: nothing recorded.
    const std::size_t entries = d.History().GetCount();
    s.TrimData();
    EXPECT_EQ(d.History().GetCount(), entries);
}

TEST(TLSegment, MaskModeEditIsUndoableAndAnUnchangedOneIsNotRecorded)
{
    Doc d;
    TLSegment& s = d.New(3);
    const std::size_t entries = d.History().GetCount();
    s.SetMaskMode(MaskMode::Substitute, false);
    EXPECT_EQ(d.History().GetCount(), entries);
    s.SetMaskMode(MaskMode::Subtract, true);
    EXPECT_EQ(d.History().GetUndoName(), "Change Mask Mode of Segment");
    EXPECT_EQ(s.GetMaskMode(), (MaskMode { MaskMode::Subtract, true }));
    d.History().Undo();
    EXPECT_EQ(s.GetMaskMode(), (MaskMode { MaskMode::Substitute, false }));
}

// A composition of one frame of the given size, on its own fake host.
struct OtherDoc {
    FakeSegmentHost host;
    TLComp comp;
    OtherDoc(unsigned width, unsigned height)
    {
        std::vector<img::image<img::BGRA<unsigned char>>> frames;
        frames.push_back(trm::testing::make_scene(width, height).frame);
        comp.SetFootage(boost::make_shared<trm::testing::memory_footage>(std::move(frames)));
        comp.GetSegmentSet().SetHost(&host);
    }
    // Writes mask as a key mask file at path.
    void Export(const img::image<img::bit>& mask, const std::string& path)
    {
        TLSegment& source = *comp.GetSegmentSet().CreateSegment(0);
        source.SetMask(mask, "Brush");
        host.file = path;
        source.ExportKeyMask();
    }
};

TEST(TLSegment, ImportedBitmapOfAnotherSizeIsPastedAtTheTopLeftAfterTheQuestion)
{
    Doc d;
    TLSegment& s = d.New(3);
    // 100 x 100 with a corner pixel and a block that the 64 x 48 frame cuts.
    img::image<img::bit> big = BlockMask(100, 100);
    big.at(0, 0) = true;
    big.at(63, 47) = true;
    big.at(64, 10) = true;
    big.at(10, 48) = true;
    OtherDoc other(100, 100);
    d.host.file = TempPath("big.bmp");
    other.Export(big, d.host.file);

    const std::string question
        = "Dimensions of the bitmap (" + d.host.file + ") differ from composition dimensions.\nProceed?";
    const std::size_t entries = d.History().GetCount();
    d.prompts.prompt.answer = My::IDCANCEL;
    s.ImportKeyMask();
    ASSERT_EQ(d.prompts.prompt.texts.size(), 1u);
    EXPECT_EQ(d.prompts.prompt.texts[0], question);
    EXPECT_EQ(d.prompts.prompt.styles[0], My::MB_OKCANCEL | My::MB_ICONEXCLAMATION);
    EXPECT_EQ(d.History().GetCount(), entries);
    EXPECT_EQ(s.GetMask().count(), 0u);

    d.prompts.prompt.answer = My::IDOK;
    s.ImportKeyMask();
    EXPECT_EQ(d.History().GetUndoName(), "Change Mask");
    const img::image<img::bit>& mask = s.GetMask();
    ASSERT_EQ(mask.width, kWidth);
    ASSERT_EQ(mask.height, kHeight);
    std::uint64_t inside = 0;
    for (unsigned y = 0; y < kHeight; ++y)
        for (unsigned x = 0; x < kWidth; ++x) {
            EXPECT_EQ(mask.at(x, y), big.at(x, y)) << x << "," << y;
            inside += big.at(x, y) ? 1 : 0;
        }
    EXPECT_EQ(mask.count(), inside);

    // A smaller one covers the top left; the rest stays clear.
    OtherDoc small(20, 10);
    d.host.file = TempPath("small.bmp");
    small.Export(BlockMask(20, 10), d.host.file);
    TLSegment& t = d.New(4);
    t.ImportKeyMask();
    EXPECT_EQ(t.GetMask().count(), BlockMask(20, 10).count());
    EXPECT_TRUE(t.GetMask().at(5, 2));
    EXPECT_FALSE(t.GetMask().at(30, 30));
    std::filesystem::remove(TempPath("big.bmp"));
    std::filesystem::remove(d.host.file);
}

// Rows of 61 pixels end inside a byte: the bits past the row's end are
// clear in an imported key mask as in any other, whatever the memory it
// came in held before, so the project file stores the same mask for the
// same bitmap.
TEST(TLSegment, ImportedKeyMaskHasNoStrayBitsPastTheRowEnds)
{
    PromptScope prompts;
    OtherDoc odd(61, 48);
    const img::image<img::bit> blob = BlockMask(61, 48);
    const std::string file = TempPath("odd.bmp");
    odd.Export(blob, file);
    for (int round = 0; round < 4; ++round) {
        // Memory of the mask's size, all set, handed back before the import.
        {
            std::vector<img::image<img::bit>> dirty;
            for (int i = 0; i < 64; ++i) {
                dirty.emplace_back(61, 48, 4);
                dirty.back().fill(true);
            }
        }
        TLSegment& t = *odd.comp.GetSegmentSet().CreateSegment(0);
        odd.host.file = file;
        t.ImportKeyMask();
        const img::image<img::bit>& mask = t.GetMask();
        ASSERT_EQ(mask.count(), blob.count());
        for (unsigned y = 0; y < mask.height; ++y)
            ASSERT_EQ(mask.row(y)[7] & 0x07, 0) << "row " << y << ", round " << round;
    }
    std::filesystem::remove(file);
}

// Bounds typed past the footage's end (or before its start) are kept to its
// frames, as a drag on the timeline keeps them.
TEST(TLSegment, TrackingBoundsPastTheFootageAreKeptToItsFrames)
{
    Doc d(40);
    TLSegment& s = d.New(10);
    s.SetTimeSpan(5, 1000);
    EXPECT_EQ(s.GetTimeSpan(), (My::Span { 5, 40 }));
    s.SetTimeSpan(-20, 2000000000);
    EXPECT_EQ(s.GetTimeSpan(), (My::Span { 0, 40 }));
    const std::size_t entries = d.History().GetCount();
    s.SetTimeSpan(0, 45);
    EXPECT_EQ(d.History().GetCount(), entries);
    // Through the property editor's binding of "Tracking Bounds".
    My::PropertyBase* bounds = nullptr;
    for (const auto& [label, property] : s.GetProperties().GetMap())
        if (label.GetId() == 51014)
            bounds = property;
    auto* span = dynamic_cast<My::BasicProperty<My::Span>*>(bounds);
    ASSERT_TRUE(span);
    span->WriteValue(&s, My::Span { 8, 50 });
    EXPECT_EQ(s.GetTimeSpan(), (My::Span { 8, 40 }));
    EXPECT_THROW(s.SetTimeSpan(45, 60), xtd::exception);
}

TEST(TLSegment, ImportingAnEmptyOrFullBitmapAsksFirst)
{
    Doc d;
    TLSegment& s = d.New(3);
    d.host.file = TempPath("full.bmp");
    EXPECT_FALSE(Enabled(s, 32832));

    img::image<img::bit> full(kWidth, kHeight, 4);
    full.fill(true);
    s.SetMask(full, "Fill");
    EXPECT_FALSE(Enabled(s, 32832));
    s.ExportKeyMask();
    ASSERT_TRUE(std::filesystem::exists(d.host.file));
    TLSegment& t = d.New(4);
    d.prompts.prompt.answer = My::IDCANCEL;
    t.ImportKeyMask();
    ASSERT_EQ(d.prompts.prompt.texts.size(), 1u);
    EXPECT_EQ(d.prompts.prompt.texts[0], "Bitmap (" + d.host.file + ") contains no black pixels.\nProceed?");
    EXPECT_EQ(t.GetMask().count(), 0u);
    d.prompts.prompt.answer = My::IDOK;
    t.ImportKeyMask();
    EXPECT_EQ(t.GetMask().count(), std::uint64_t(kWidth) * kHeight);
    EXPECT_EQ(d.History().GetUndoName(), "Change Mask");
    std::filesystem::remove(d.host.file);
}

TEST(TLSegment, KeyMaskExportWritesAOneBitBitmapThatImportsBack)
{
    Doc d;
    TLSegment& s = d.New(3);
    img::image<img::bit> mask = BlockMask();
    mask.at(0, 0) = true;
    mask.at(kWidth - 1, kHeight - 1) = true;
    s.SetMask(mask, "Brush");
    EXPECT_TRUE(Enabled(s, 32832));
    d.host.file = TempPath("key.bmp");
    My::CommandEvent exportCommand(32832);
    EXPECT_TRUE(s.RouteCommand(exportCommand));

    std::ifstream in(d.host.file, std::ios::binary);
    const std::vector<unsigned char> bytes(
        (std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const unsigned stride = (kWidth + 31) / 32 * 4;
    ASSERT_EQ(bytes.size(), 62u + stride * kHeight);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[10], 62); // pixel data offset
    EXPECT_EQ(bytes[14], 40); // information header
    EXPECT_EQ(bytes[28], 1); // bits per pixel
    EXPECT_EQ(bytes[22], kHeight); // positive height: bottom-up
    const std::vector<unsigned char> palette(bytes.begin() + 54, bytes.begin() + 62);
    EXPECT_EQ(palette, (std::vector<unsigned char> { 0, 0, 0, 0, 255, 255, 255, 0 }));
    // The bottom row comes first; its last pixel is set.
    EXPECT_EQ(bytes[62 + (kWidth - 1) / 8] & 1, 1);
    EXPECT_EQ(bytes[62 + stride * (kHeight - 1)] & 0x80, 0x80);

    TLSegment& t = d.New(5);
    t.ImportKeyMask();
    EXPECT_TRUE(d.prompts.prompt.texts.empty());
    for (unsigned y = 0; y < kHeight; ++y)
        for (unsigned x = 0; x < kWidth; ++x)
            ASSERT_EQ(static_cast<bool>(t.GetMask().at(x, y)), static_cast<bool>(mask.at(x, y)))
                << x << "," << y;
    std::filesystem::remove(d.host.file);
}

TEST(TLSegment, UnreadableBitmapFailsWithTheOperationNamed)
{
    Doc d;
    TLSegment& s = d.New(3);
    d.host.file = TempPath("missing.bmp");
    std::filesystem::remove(d.host.file);
    My::ClearOperations();
    EXPECT_ANY_THROW(s.ImportKeyMask());
    EXPECT_EQ(My::GetCurrentOperation(), "importing mask");
    My::ClearOperations();
}

TEST(TLSegment, NewFromActiveTakesTheResultParametersAndSpanOfTheSource)
{
    Doc d;
    TLSegment& source = d.New(10);
    source.SetMask(BlockMask(), "Brush");
    source.SetTimeSpan(5, 20);
    trm::param p;
    p.dilation_erosion = 2;
    source.SetParams(p);
    FillResults(source, { 5, 20 });
    auto record = source.GetEngine()->frame_data(12);
    record->bit_mask.at(1, 1) = true;

    d.comp.SetCurrentFrame(12);
    My::CommandEvent fromActive(32854);
    ASSERT_TRUE(d.comp.RouteCommand(fromActive));
    TLSegment* made = d.comp.GetSegmentSet().GetAt(0);
    ASSERT_NE(made, &source);
    EXPECT_EQ(made->GetKeyFrame(), 12);
    EXPECT_EQ(made->GetTimeSpan(), (My::Span { 5, 20 }));
    EXPECT_EQ(made->GetParams().dilation_erosion, 2);
    EXPECT_EQ(made->GetMask().count(), record->bit_mask.count());
    EXPECT_EQ(d.comp.GetSegmentSet().GetSelected(), made);
}

TEST(TLSegment, EditingIsRefusedWhileProcessingAndMovesBetweenSegments)
{
    Doc d;
    TLSegment& a = d.New(3);
    TLSegment& b = d.New(4);
    a.BeginEditing();
    EXPECT_TRUE(a.IsBeingEdited());
    b.BeginEditing();
    EXPECT_FALSE(a.IsBeingEdited());
    EXPECT_TRUE(b.IsBeingEdited());
    EXPECT_EQ(d.host.targets, (std::vector<TLSegment*> { &a, &b }));
    b.SetMask(BlockMask(), "Brush");
    EXPECT_GE(d.host.reloads, 1);
    b.EndEditing();
    EXPECT_EQ(d.comp.GetSegmentSet().GetEditTarget(), nullptr);
}

} // namespace
