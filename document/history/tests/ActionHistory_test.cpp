#include "document/Doc.h"
#include "document/history/ActionHistory.h"
#include "document/history/ChangeValueAction.h"
#include "widgets/core/Strings.h"
#include "widgets/properties/EditRecorder.h"
#include "widgets/properties/PropertyBase.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// An action that records what it did in a shared log; it can throw, fail,
// or perform nested actions while it is being done.
class Step : public My::Action {
public:
    Step(std::string name, std::vector<std::string>* log, My::ActionHistory* history = nullptr)
        : m_name(std::move(name))
        , m_log(log)
        , m_history(history)
    {
    }
    ~Step() override
    {
        if (deleted)
            ++*deleted;
    }
    bool Do() override
    {
        m_log->push_back("do " + m_name);
        for (auto& inner : nested)
            m_history->Perform(std::move(inner));
        nested.clear();
        if (throws)
            throw std::runtime_error("failed " + m_name);
        return succeeds;
    }
    void Undo() override { m_log->push_back("undo " + m_name); }
    void Redo() override { m_log->push_back("redo " + m_name); }
    std::string GetName() const override { return m_name; }

    bool succeeds = true;
    bool throws = false;
    int* deleted = nullptr;
    std::vector<std::unique_ptr<My::Action>> nested;

private:
    std::string m_name;
    std::vector<std::string>* m_log;
    My::ActionHistory* m_history;
};

using Log = std::vector<std::string>;

} // namespace

TEST(ActionHistory, ThrowingDoUndoesNestedActionsAndLeavesNoTrace)
{
    Log log;
    My::ActionHistory history;
    history.Perform(new Step("A", &log));
    int deleted = 0;
    auto outer = std::make_unique<Step>("outer", &log, &history);
    outer->deleted = &deleted;
    outer->nested.push_back(std::make_unique<Step>("x", &log));
    outer->nested.push_back(std::make_unique<Step>("y", &log));
    outer->throws = true;
    EXPECT_THROW(history.Perform(std::move(outer)), std::runtime_error);
    EXPECT_EQ(log, (Log { "do A", "do outer", "do x", "do y", "undo y", "undo x" }));
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(history.GetCount(), 1u);
    EXPECT_FALSE(history.IsGroupOpen());
    // Undo and redo keep working.
    log.clear();
    history.Undo();
    history.Redo();
    EXPECT_EQ(log, (Log { "undo A", "redo A" }));
}

TEST(ActionHistory, ExceptionInsideAGroupAbortsItThroughTheGuard)
{
    Log log;
    My::ActionHistory history;
    history.Perform(new Step("A", &log));
    const int modified = history.GetModifiedCounter();
    try {
        My::ActionGroup group(history, "Brush");
        history.Perform(new Step("b1", &log));
        history.Perform(new Step("b2", &log));
        throw std::runtime_error("stroke failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(log, (Log { "do A", "do b1", "do b2", "undo b2", "undo b1" }));
    EXPECT_FALSE(history.IsGroupOpen());
    EXPECT_EQ(history.GetCount(), 1u);
    EXPECT_EQ(history.GetModifiedCounter(), modified);
    EXPECT_TRUE(history.CanUndo());
    EXPECT_EQ(history.GetUndoName(), "A");
}

TEST(ActionHistory, FailedDoAndActionsDuringUndoAreNotRecorded)
{
    Log log;
    My::ActionHistory history;
    int deleted = 0;
    auto failing = std::make_unique<Step>("F", &log);
    failing->succeeds = false;
    failing->deleted = &deleted;
    EXPECT_FALSE(history.Perform(std::move(failing)));
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(history.GetCount(), 0u);
    EXPECT_FALSE(history.IsModified());

    // An undo whose setter performs an action: that action is discarded.
    struct SideEffect : My::Action {
        My::ActionHistory* history;
        Log* log;
        bool Do() override { return true; }
        void Undo() override
        {
            const bool recorded = history->Perform(new Step("side", log));
            log->push_back(recorded ? "recorded" : "discarded");
        }
        std::string GetName() const override { return "S"; }
    };
    auto side = std::make_unique<SideEffect>();
    side->history = &history;
    side->log = &log;
    history.Perform(std::move(side));
    history.Undo();
    EXPECT_EQ(log.back(), "discarded");
    EXPECT_EQ(history.GetCount(), 1u);
}

TEST(ActionHistory, NewEditEndsRedo)
{
    Log log;
    My::ActionHistory history;
    int deletedB = 0;
    history.Perform(new Step("A", &log));
    auto b = std::make_unique<Step>("B", &log);
    b->deleted = &deletedB;
    history.Perform(std::move(b));
    history.Undo();
    history.Perform(new Step("C", &log));
    EXPECT_EQ(deletedB, 1);
    EXPECT_EQ(history.GetCount(), 2u);
    EXPECT_FALSE(history.CanRedo());
    EXPECT_EQ(history.GetUndoName(), "C");
    log.clear();
    history.Redo();
    EXPECT_TRUE(log.empty());
}

TEST(ActionHistory, NestedActionsUndoAsOneStepInReverse)
{
    Log log;
    My::ActionHistory history;
    auto outer = std::make_unique<Step>("outer", &log, &history);
    outer->nested.push_back(std::make_unique<Step>("x", &log));
    outer->nested.push_back(std::make_unique<Step>("y", &log));
    history.Perform(std::move(outer));
    EXPECT_EQ(history.GetCount(), 1u);
    log.clear();
    history.Undo();
    EXPECT_EQ(log, (Log { "undo y", "undo x", "undo outer" }));
    log.clear();
    history.Redo();
    EXPECT_EQ(log, (Log { "redo outer", "redo x", "redo y" }));
}

TEST(ActionHistory, GroupsNestAndTakeTheFirstChildsName)
{
    Log log;
    My::ActionHistory history;
    history.BeginGroup("Brush");
    history.Perform(new Step("a", &log));
    EXPECT_FALSE(history.CanUndo()); // refused while a group is open
    history.BeginGroup("");
    history.Perform(new Step("b", &log));
    history.EndGroup();
    history.Perform(new Step("c", &log));
    history.EndGroup();
    EXPECT_EQ(history.GetCount(), 1u);
    EXPECT_EQ(history.GetUndoName(), "Brush");
    log.clear();
    history.Undo();
    EXPECT_EQ(log, (Log { "undo c", "undo b", "undo a" }));

    history.BeginGroup("");
    history.Perform(new Step("first", &log));
    history.Perform(new Step("second", &log));
    history.EndGroup();
    EXPECT_EQ(history.GetUndoName(), "first");
    history.BeginGroup("");
    history.EndGroup(); // empty groups are recorded too
    EXPECT_EQ(history.GetCount(), 2u);
    EXPECT_EQ(history.GetUndoName(), "");
    history.EndGroup(); // no group open: nothing
    history.AbortGroup();
    EXPECT_EQ(history.GetCount(), 2u);
}

TEST(ActionHistory, AGroupClosedWithoutChildrenCanLeaveNoTrace)
{
    struct PlainDoc : My::Doc {
        void Load(const std::string&, int) override { }
        void Store(const std::string&) override { }
    } doc;
    int changes = 0;
    struct Counter : My::EventListener {
        int* changes;
        void OnEvent(My::Event& e) override
        {
            if (dynamic_cast<My::Doc::ActionsChange*>(&e))
                ++*changes;
        }
    } counter;
    counter.changes = &changes;
    doc.AddListener(&counter);
    My::ActionHistory& history = doc.GetHistory();
    Log log;
    {
        My::ActionGroup group(history);
        group.DropIfEmpty();
    }
    EXPECT_EQ(history.GetCount(), 0u);
    EXPECT_FALSE(history.IsModified());
    EXPECT_EQ(changes, 0);

    // A group that holds an action is recorded all the same.
    {
        My::ActionGroup group(history);
        group.DropIfEmpty();
        history.Perform(new Step("a", &log));
    }
    EXPECT_EQ(history.GetCount(), 1u);
    EXPECT_EQ(history.GetUndoName(), "a");
    EXPECT_TRUE(history.IsModified());
    doc.RemoveListener(&counter);
}

TEST(ActionHistory, ModifiedStateFollowsSaveUndoAndRedo)
{
    Log log;
    My::ActionHistory history;
    EXPECT_FALSE(history.IsModified());
    history.Perform(new Step("A", &log));
    history.Perform(new Step("B", &log));
    EXPECT_TRUE(history.IsModified());
    history.MarkSaved();
    EXPECT_FALSE(history.IsModified());
    history.Undo();
    EXPECT_TRUE(history.IsModified());
    history.Redo();
    EXPECT_FALSE(history.IsModified());
    // Undo past the save and back.
    history.Undo();
    history.Undo();
    EXPECT_TRUE(history.IsModified());
    history.Redo();
    EXPECT_TRUE(history.IsModified());
    history.Redo();
    EXPECT_FALSE(history.IsModified());
    // Save with B undone: redoing B leaves the saved state, undoing it again
    // returns to it; saving twice in a row changes nothing.
    history.Undo();
    history.MarkSaved();
    history.MarkSaved();
    EXPECT_FALSE(history.IsModified());
    history.Redo();
    EXPECT_TRUE(history.IsModified());
    history.Undo();
    EXPECT_FALSE(history.IsModified());
    history.Undo();
    EXPECT_TRUE(history.IsModified());
    history.Redo();
    EXPECT_FALSE(history.IsModified());
    history.Touch();
    EXPECT_TRUE(history.IsModified());
    history.Clear();
    EXPECT_FALSE(history.IsModified());
    EXPECT_EQ(history.GetCount(), 0u);
}

TEST(ActionHistory, LimitDropsTheOldestEntries)
{
    Log log;
    My::ActionHistory history;
    history.SetLimit(2);
    history.Perform(new Step("A", &log));
    history.Perform(new Step("B", &log));
    history.Perform(new Step("C", &log));
    EXPECT_EQ(history.GetCount(), 2u);
    history.Undo();
    history.Undo();
    EXPECT_FALSE(history.CanUndo());
    EXPECT_EQ(history.GetRedoName(), "B");
}

TEST(ChangeValueAction, ClampingSetterRecordsNothing)
{
    My::ActionHistory history;
    int value = 10;
    auto read = [&] { return value; };
    auto clampWrite = [&](const int& v) { value = std::min(v, 10); };
    EXPECT_FALSE(history.Perform(new My::ChangeValueAction<int>("Set", read, clampWrite, 20)));
    EXPECT_FALSE(history.CanUndo());
    EXPECT_TRUE(history.Perform(new My::ChangeValueAction<int>("Set", read, clampWrite, 4)));
    EXPECT_EQ(value, 4);
    history.Undo();
    EXPECT_EQ(value, 10);
    history.Redo();
    EXPECT_EQ(value, 4);
}

namespace {
struct Satellite : My::StringSource {
    std::map<std::uint32_t, std::string> texts;
    bool Find(std::uint32_t id, std::string& text) const override
    {
        auto it = texts.find(id);
        if (it == texts.end())
            return false;
        text = it->second;
        return true;
    }
};
} // namespace

TEST(UndoText, NamesTheEntryAndSubstitutesLiterally)
{
    Log log;
    My::ActionHistory history;
    EXPECT_EQ(My::GetUndoText(history, true), "Undo \tCtrl+Z");
    EXPECT_EQ(My::GetRedoText(history, true), "Redo \tCtrl+Shift+Z");
    history.Perform(new Step("100% %s %n", &log));
    EXPECT_EQ(My::GetUndoText(history, true), "Undo 100% %s %n\tCtrl+Z");
    EXPECT_EQ(My::GetUndoText(history, false), "Undo 100% %s %n");
    history.Undo();
    EXPECT_EQ(My::GetRedoText(history, true), "Redo 100% %s %n\tCtrl+Shift+Z");
    EXPECT_EQ(My::GetRedoText(history, false), "Redo 100% %s %n");
    Satellite satellite;
    satellite.texts[50009] = "%n%x %s";
    const My::StringSource* previous = My::SetStringSource(&satellite);
    EXPECT_EQ(My::GetRedoText(history, true), "%n%x 100% %s %n");
    My::SetStringSource(previous);
}

TEST(ActionHistory, GroupsLeftOpenByAnActionBelongToIt)
{
    Log log;
    My::ActionHistory history;
    struct Opener : My::Action {
        My::ActionHistory* history;
        Log* log;
        bool fail = false;
        bool Do() override
        {
            history->BeginGroup("left open");
            history->Perform(new Step("inner", log));
            if (fail)
                throw std::runtime_error("failed");
            return true;
        }
        void Undo() override { log->push_back("undo opener"); }
        std::string GetName() const override { return "Opener"; }
    };
    auto failing = std::make_unique<Opener>();
    failing->history = &history;
    failing->log = &log;
    failing->fail = true;
    EXPECT_THROW(history.Perform(std::move(failing)), std::runtime_error);
    EXPECT_EQ(log, (Log { "do inner", "undo inner" }));
    EXPECT_FALSE(history.IsGroupOpen());

    auto opener = std::make_unique<Opener>();
    opener->history = &history;
    opener->log = &log;
    log.clear();
    EXPECT_TRUE(history.Perform(std::move(opener)));
    EXPECT_FALSE(history.IsGroupOpen());
    history.Undo();
    EXPECT_EQ(log, (Log { "do inner", "undo inner", "undo opener" }));
}

TEST(ActionHistory, APropertyEditIsOneGroupAndAFailingOneLeavesNoEntry)
{
    struct PlainDoc : My::Doc {
        void Load(const std::string&, int) override { }
        void Store(const std::string&) override { }
    } doc;
    My::Doc* previous = My::SetCurrentDoc(&doc);
    int value = 0;
    struct Set : My::Action {
        int& target;
        int next, old = 0;
        Set(int& t, int n)
            : target(t)
            , next(n)
        {
        }
        bool Do() override
        {
            old = target;
            target = next;
            return true;
        }
        void Undo() override { target = old; }
        std::string GetName() const override { return "Set"; }
    };
    My::EditableList two(std::vector<My::EditableObject*>(2, nullptr));
    int calls = 0;
    EXPECT_TRUE(
        My::ApplyEdit(two, [&](My::EditableObject*) { doc.GetHistory().Perform(new Set(value, ++calls)); }));
    EXPECT_EQ(doc.GetHistory().GetCount(), 1u);
    EXPECT_EQ(doc.GetHistory().GetUndoName(), "Set");
    EXPECT_FALSE(My::ApplyEdit(two, [&](My::EditableObject*) {
        doc.GetHistory().Perform(new Set(value, 9));
        throw std::runtime_error("Refused.");
    }));
    EXPECT_EQ(value, 2);
    EXPECT_EQ(doc.GetHistory().GetCount(), 1u);
    EXPECT_FALSE(doc.GetHistory().IsGroupOpen());
    My::SetCurrentDoc(previous);
}
