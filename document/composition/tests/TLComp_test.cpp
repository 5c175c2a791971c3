#include "document/composition/CompositionHost.h"
#include "document/composition/CompositionMember.h"
#include "document/composition/TLComp.h"
#include "document/processing/ProcessorControl.h"
#include "document/tests/prompt_test_support.h"
#include "foundation/system/exception.h"
#include "lumvex/footage/footage.h"
#include "platform/kernel/event.h"
#include "widgets/core/Message.h"
#include "widgets/core/Prompt.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

class FakeFootage : public lumvex::footage {
public:
    FakeFootage(
        int frames, fraction rate, lumvex::deinterlace_fields fields = lumvex::deinterlace_fields::off)
        : m_frames(frames)
        , m_rate(rate)
        , m_fields(fields)
    {
    }
    boost::shared_ptr<lumvex::item_id> frame_id(int) override { return {}; }
    boost::shared_ptr<lumvex::cached_image> frame(int, int, bool) override { return {}; }
    boost::shared_ptr<lumvex::cached_image> cached_frame(int) override { return {}; }
    lumvex::cache* image_cache() const override { return nullptr; }
    void serialize(xml::stream&, const std::string&) override { }
    std::string path() const override { return "clip.avi"; }
    std::string description() const override { return "clip"; }
    int frame_count() const override { return m_frames; }
    int first_frame_number() const override { return 0; }
    types::extent<unsigned> frame_size() const override { return { 720, 576 }; }
    bool has_alpha() const override { return false; }
    void set_fields(lumvex::deinterlace_fields f) override { m_fields = f; }
    lumvex::deinterlace_fields fields() const override { return m_fields; }
    void set_method(lumvex::deinterlace_method) override { }
    lumvex::deinterlace_method method() const override { return lumvex::deinterlace_method::duplicate; }
    fraction frame_rate() const override { return m_rate; }

private:
    int m_frames;
    fraction m_rate;
    lumvex::deinterlace_fields m_fields;
};

boost::shared_ptr<lumvex::footage> Footage(int frames, fraction rate = { 25, 1 },
    lumvex::deinterlace_fields fields = lumvex::deinterlace_fields::off)
{
    return boost::shared_ptr<lumvex::footage>(new FakeFootage(frames, rate, fields));
}

using prompt_testing::PromptScope;

struct FakeHost : CompositionHost {
    boost::shared_ptr<lumvex::footage> next;
    bool fail = false;
    std::vector<std::string> jobs;
    boost::shared_ptr<lumvex::footage> ChooseFootage(bool allow_stills) override
    {
        EXPECT_FALSE(allow_stills);
        if (fail)
            throw std::runtime_error("unreadable footage");
        return next;
    }
    void StartMaskExport(TLComp&, bool smooth) override { jobs.push_back(smooth ? "smooth" : "crisp"); }
    void StartRender(TLComp&) override { jobs.push_back("render"); }
};

// A worker stand-in: busy until cancelled; on cancel, a thread posts a
// message to the UI thread and only then turns idle.
struct FakeProcessor : ProcessorControl {
    platform::event idle { true, true };
    int cancels = 0;
    std::thread worker;
    std::atomic<bool> messageRan { false };
    platform::waitable& GetIdleEvent() override { return idle; }
    void Enqueue(TLSegment&) override { }
    void Remove(TLSegment&) override { }
    bool IsCancelled() const override { return false; }
    void CancelAll() override
    {
        ++cancels;
        struct Done : My::Message {
            std::atomic<bool>* ran;
            void Execute() override { *ran = true; }
        };
        worker = std::thread([this] {
            auto done = std::make_unique<Done>();
            done->ran = &messageRan;
            My::GetMessageQueue().Post(std::move(done));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            idle.set();
        });
    }
    ~FakeProcessor()
    {
        if (worker.joinable())
            worker.join();
    }
};

struct SeqEvents : My::EventListener {
    std::vector<std::string> log;
    void OnEvent(My::Event& e) override
    {
        if (dynamic_cast<My::Sequence::OpenEvent*>(&e))
            log.push_back("open");
        else if (dynamic_cast<My::Sequence::CloseEvent*>(&e))
            log.push_back("close");
        else if (dynamic_cast<My::Sequence::WorkAreaChange*>(&e))
            log.push_back("work area");
        else if (dynamic_cast<My::Sequence::CurrentFrameChange*>(&e))
            log.push_back("current");
        else if (dynamic_cast<My::Sequence::PreviewFrameChange*>(&e))
            log.push_back("preview");
        else if (dynamic_cast<My::Doc::ActionsChange*>(&e))
            log.push_back("actions");
    }
};

struct Member : CompositionMember {
    std::vector<std::string>* log;
    std::uint32_t handles = 0;
    explicit Member(std::vector<std::string>* l)
        : log(l)
    {
    }
    void OnOpenChange(bool open) override { log->push_back(open ? "member open" : "member close"); }
    void Clear() override { log->push_back("member clear"); }
    bool RouteCommand(My::CommandEventBase& e) override
    {
        if (e.id != handles)
            return false;
        log->push_back("member command");
        e.handled = true;
        return true;
    }
};

struct FakeUI : My::CommandUI {
    bool enabled = true;
    void Enable(bool e) override { enabled = e; }
    void SetCheck(int) override { }
    void SetRadio(bool) override { }
    void SetText(const std::string&) override { }
    bool IsMenuItem() const override { return true; }
};

} // namespace

TEST(TLComp, EmptyCompositionAnswersWithoutFootage)
{
    TLComp comp;
    EXPECT_TRUE(comp.IsEmpty());
    EXPECT_EQ(comp.GetFrameCount(), 0);
    EXPECT_EQ(comp.GetFrameSize(), (types::extent<unsigned> { 0, 0 }));
    EXPECT_EQ(comp.GetWorkArea(), (My::Span { 0, 0 }));
    EXPECT_EQ(comp.GetCurrentFrame(), -1);
    comp.SetCurrentFrame(0);
    comp.SetPreviewFrame(0);
    comp.SetWorkArea(0, 10);
    EXPECT_EQ(comp.GetCurrentFrame(), -1);
    EXPECT_EQ(comp.GetPreviewFrame(), -1);
    EXPECT_FALSE(comp.GetHistory().CanUndo());
    EXPECT_FALSE(comp.IsProcessing());
    EXPECT_EQ(comp.GetTypeName(), "Composition");
    comp.SetFootage(nullptr); // an empty footage changes nothing
    EXPECT_TRUE(comp.IsEmpty());
}

TEST(TLComp, InvalidExportFramerateIsRefused)
{
    TLComp comp;
    comp.SetFootage(Footage(10));
    EXPECT_THROW(comp.SetExportFramerate(fraction(25, 0)), xtd::exception);
    EXPECT_THROW(comp.SetExportFramerate(fraction(0, 1)), xtd::exception);
    EXPECT_THROW(comp.SetExportFramerate(fraction(-25, 1)), xtd::exception);
    EXPECT_EQ(comp.GetExportFramerate().numerator, 25);
    EXPECT_EQ(TLComp::ValidExportFramerate(fraction(25, 0)).numerator, 50);
    EXPECT_EQ(TLComp::ValidExportFramerate(fraction(-3, 1)).denominator, 1u);
    EXPECT_EQ(TLComp::ValidExportFramerate(fraction(30000, 1001)).numerator, 30000);
    // A footage whose rate is negative gives the same default.
    TLComp odd;
    odd.SetFootage(Footage(10, fraction(-5, 1)));
    EXPECT_EQ(odd.GetExportFramerate().numerator, 50);
}

TEST(TLComp, FootageOpensTheProjectWithDefaults)
{
    std::vector<std::string> log;
    TLComp comp;
    SeqEvents events;
    comp.My::Doc::AddListener(&events);
    comp.AddMember(std::make_unique<Member>(&log));
    comp.SetFootage(Footage(100, fraction(30000, 1001)));
    EXPECT_FALSE(comp.IsEmpty());
    EXPECT_EQ(comp.GetWorkArea(), (My::Span { 0, 100 }));
    EXPECT_EQ(comp.GetCurrentFrame(), 0);
    EXPECT_EQ(comp.GetPreviewFrame(), 0);
    EXPECT_EQ(comp.GetExportFramerate().numerator, 30000);
    EXPECT_EQ(comp.GetExportInaccuracy(), 1.0f);
    EXPECT_TRUE(comp.IsModified());
    EXPECT_EQ(events.log, (std::vector<std::string> { "open", "actions" }));
    EXPECT_EQ(log, (std::vector<std::string> { "member open" }));

    TLComp sequence;
    sequence.SetFootage(Footage(5, fraction()));
    EXPECT_EQ(sequence.GetExportFramerate().numerator, 25);
    TLComp fields;
    fields.SetFootage(Footage(5, fraction(), lumvex::deinterlace_fields::upper_first));
    EXPECT_EQ(fields.GetExportFramerate().numerator, 50);
    comp.My::Doc::RemoveListener(&events);
}

TEST(TLComp, FramesOutsideTheFootageAreIgnored)
{
    TLComp comp;
    comp.SetFootage(Footage(100));
    SeqEvents events;
    comp.My::Doc::AddListener(&events);
    comp.SetCurrentFrame(100);
    comp.SetCurrentFrame(-1);
    comp.SetCurrentFrame(0); // unchanged
    EXPECT_TRUE(events.log.empty());
    comp.SetCurrentFrame(99);
    EXPECT_EQ(comp.GetCurrentFrame(), 99);
    EXPECT_EQ(comp.GetPreviewFrame(), 99);
    EXPECT_EQ(events.log, (std::vector<std::string> { "preview", "current" }));
    EXPECT_FALSE(comp.GetHistory().CanUndo()); // not undoable (only the footage touch)
    comp.SetPreviewFrame(100);
    EXPECT_EQ(comp.GetPreviewFrame(), 99);
    comp.SetPreviewFrame(3);
    EXPECT_EQ(comp.GetCurrentFrame(), 99);
    EXPECT_EQ(comp.GetPreviewFrame(), 3);
    comp.My::Doc::RemoveListener(&events);
}

TEST(TLComp, WorkAreaIsClampedAndUndoable)
{
    TLComp comp;
    comp.SetFootage(Footage(100));
    comp.SetWorkArea(-5, 1000); // clamps to {0, 100}: unchanged
    comp.SetWorkArea(10, 10);
    comp.SetWorkArea(50, 20);
    EXPECT_FALSE(comp.GetHistory().CanUndo());
    SeqEvents events;
    comp.My::Doc::AddListener(&events);
    comp.SetWorkArea(10, 2000);
    EXPECT_EQ(comp.GetWorkArea(), (My::Span { 10, 100 }));
    EXPECT_EQ(comp.GetHistory().GetUndoName(), "Change Work Area");
    EXPECT_EQ(events.log, (std::vector<std::string> { "work area", "actions" }));
    comp.GetHistory().Undo();
    EXPECT_EQ(comp.GetWorkArea(), (My::Span { 0, 100 }));
    comp.GetHistory().Redo();
    EXPECT_EQ(comp.GetWorkArea(), (My::Span { 10, 100 }));
    comp.My::Doc::RemoveListener(&events);
}

TEST(TLComp, ExportSettersRecordOnlyChanges)
{
    TLComp comp;
    comp.SetFootage(Footage(10, fraction(25, 1)));
    comp.SetExportFramerate(fraction(50, 2));
    EXPECT_FALSE(comp.GetHistory().CanUndo());
    comp.SetExportFramerate(fraction(30, 1));
    EXPECT_EQ(comp.GetHistory().GetUndoName(), "Change Export Framerate");
    comp.GetHistory().Undo();
    EXPECT_EQ(comp.GetExportFramerate().numerator, 25);

    struct Changes : My::EventListener {
        int count = 0;
        void OnEvent(My::Event& e) override { count += dynamic_cast<My::PropertyChange*>(&e) != nullptr; }
    } changes;
    My::PropertyMap& table = comp.GetProperties().GetMap();
    ASSERT_EQ(table.size(), 4u);
    auto exportGroup = My::FindByText(table, "Export");
    ASSERT_NE(exportGroup, table.end());
    const My::PropertyMap* children = exportGroup->second->GetChildren(My::EditableList());
    ASSERT_NE(children, nullptr);
    auto inaccuracy = My::FindByText(*children, "Inaccuracy");
    ASSERT_NE(inaccuracy, children->end());
    inaccuracy->second->AddListener(&changes);
    comp.SetExportInaccuracy(-3.0f);
    EXPECT_EQ(comp.GetExportInaccuracy(), 0.0f);
    EXPECT_EQ(comp.GetHistory().GetUndoName(), "Change Export Inaccuracy");
    EXPECT_EQ(changes.count, 1);
    comp.SetExportInaccuracy(-1.0f); // 0 again: nothing
    EXPECT_EQ(changes.count, 1);
    comp.GetHistory().Undo();
    EXPECT_EQ(comp.GetExportInaccuracy(), 1.0f);
    EXPECT_EQ(changes.count, 2);
    inaccuracy->second->RemoveListener(&changes);
    EXPECT_TRUE(inaccuracy->second->IsApplicable(&comp));
    EXPECT_TRUE(My::FindByText(table, "Object Footage")->second->IsReadOnly(My::EditableList({ &comp })));
}

TEST(TLComp, CloseIsRefusedWhileJobsRun)
{
    PromptScope prompts;
    TLComp comp;
    comp.SetFootage(Footage(10));
    comp.JobStarted();
    EXPECT_FALSE(comp.CanClose());
    ASSERT_EQ(prompts.prompt.texts.size(), 1u);
    EXPECT_EQ(prompts.prompt.texts[0], "Please, wait until rendering and mask exporting are finished.");
    EXPECT_EQ(prompts.prompt.styles[0], My::MB_ICONEXCLAMATION);
    EXPECT_FALSE(comp.IsEmpty());
    comp.JobEnded();
    comp.JobEnded(); // never below 0
    EXPECT_EQ(comp.GetRunningJobs(), 0);
    EXPECT_TRUE(comp.CanClose());
}

TEST(TLComp, CloseWhileProcessingNeedsConsent)
{
    PromptScope prompts;
    FakeProcessor processor;
    TLComp comp(nullptr, &processor);
    comp.SetFootage(Footage(10));
    processor.idle.reset();
    EXPECT_TRUE(comp.IsProcessing());
    prompts.prompt.answer = My::IDCANCEL;
    EXPECT_FALSE(comp.CanClose());
    EXPECT_EQ(processor.cancels, 0);
    EXPECT_EQ(prompts.prompt.texts.back(),
        "Closing the project will cancel all current processing.\nClose anyway?");
    EXPECT_EQ(prompts.prompt.styles.back(), My::MB_OKCANCEL | My::MB_ICONEXCLAMATION);

    prompts.prompt.answer = My::IDOK;
    EXPECT_TRUE(comp.CanClose());
    EXPECT_EQ(processor.cancels, 1);
    // The message the worker posted before turning idle ran during the wait.
    EXPECT_TRUE(processor.messageRan.load());
    EXPECT_FALSE(comp.IsProcessing());
}

TEST(TLComp, CloseEmptiesEverythingAndTellsMembersFirst)
{
    std::vector<std::string> log;
    TLComp comp;
    comp.AddMember(std::make_unique<Member>(&log));
    comp.SetFootage(Footage(10));
    comp.SetWorkArea(2, 5);
    struct Logger : My::EventListener {
        std::vector<std::string>* log;
        void OnEvent(My::Event& e) override
        {
            if (dynamic_cast<My::Sequence::CloseEvent*>(&e))
                log->push_back("close");
        }
    } logger;
    logger.log = &log;
    comp.My::Doc::AddListener(&logger);
    log.clear();
    comp.Close();
    EXPECT_EQ(log, (std::vector<std::string> { "member close", "close", "member clear" }));
    EXPECT_TRUE(comp.IsEmpty());
    EXPECT_EQ(comp.GetFootage(), nullptr);
    EXPECT_EQ(comp.GetWorkArea(), (My::Span { 0, 0 }));
    EXPECT_EQ(comp.GetCurrentFrame(), -1);
    EXPECT_EQ(comp.GetPreviewFrame(), -1);
    EXPECT_FALSE(comp.GetHistory().CanUndo());
    EXPECT_FALSE(comp.IsModified());
    comp.My::Doc::RemoveListener(&logger);
}

TEST(TLComp, CreateNewAsksForFootageUnderItsOperationName)
{
    My::ClearOperations();
    FakeHost host;
    TLComp comp(&host);
    comp.CreateNew(); // cancelled: stays empty
    EXPECT_TRUE(comp.IsEmpty());
    EXPECT_EQ(My::GetCurrentOperation(), "");
    host.fail = true;
    EXPECT_THROW(comp.CreateNew(), std::runtime_error);
    EXPECT_EQ(My::GetCurrentOperation(), "creating new project from a footage");
    My::ClearOperations();
    host.fail = false;
    host.next = Footage(7);
    comp.CreateNew();
    EXPECT_FALSE(comp.IsEmpty());
    EXPECT_EQ(comp.GetFrameCount(), 7);
}

TEST(TLComp, CommandsRouteToMembersFirstAndNeedAnOpenProject)
{
    std::vector<std::string> log;
    FakeHost host;
    TLComp comp(&host);
    auto member = std::make_unique<Member>(&log);
    member->handles = 33128;
    comp.AddMember(std::move(member));
    FakeUI ui;
    My::UpdateCommandUIEvent query(33213, &ui);
    EXPECT_TRUE(comp.RouteCommand(query));
    EXPECT_FALSE(ui.enabled);
    My::CommandEvent render(33213);
    comp.RouteCommand(render);
    EXPECT_TRUE(host.jobs.empty());

    comp.SetFootage(Footage(10));
    My::UpdateCommandUIEvent again(33213, &ui);
    comp.RouteCommand(again);
    EXPECT_TRUE(ui.enabled);
    for (std::uint32_t id : { 33204u, 33205u, 33213u }) {
        My::CommandEvent command(id);
        EXPECT_TRUE(comp.RouteCommand(command));
    }
    EXPECT_EQ(host.jobs, (std::vector<std::string> { "crisp", "smooth", "render" }));
    My::CommandEvent background(33128);
    EXPECT_TRUE(comp.RouteCommand(background));
    EXPECT_EQ(log.back(), "member command");
    My::CommandEvent unknown(1);
    EXPECT_FALSE(comp.RouteCommand(unknown));
}

TEST(TLComp, MessagesForADestroyedCompositionAreDiscarded)
{
    struct Call : My::Message {
        TLComp* target;
        bool* ran;
        void Execute() override { *ran = true; }
        const void* GetTarget() const override { return target; }
    };
    bool ran = false;
    {
        TLComp comp;
        auto call = std::make_unique<Call>();
        call->target = &comp;
        call->ran = &ran;
        My::GetMessageQueue().Post(std::move(call));
    }
    My::GetMessageQueue().RunPending();
    EXPECT_FALSE(ran);
}
