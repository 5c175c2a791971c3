#include "document/Doc.h"
#include "document/Selection.h"
#include "widgets/core/Prompt.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

class FileDoc : public My::Doc {
public:
    std::vector<std::string> calls;
    bool failLoad = false;
    bool failStore = false;
    void Load(const std::string& path, int filter) override
    {
        calls.push_back("load " + path + " " + std::to_string(filter));
        if (failLoad)
            throw std::runtime_error("file not found");
    }
    void Store(const std::string& path) override
    {
        calls.push_back("store " + path);
        if (failStore)
            throw std::runtime_error("disc full");
    }
};

struct Events : My::EventListener {
    int actions = 0, names = 0, selections = 0;
    void OnEvent(My::Event& e) override
    {
        if (dynamic_cast<My::Doc::ActionsChange*>(&e))
            ++actions;
        if (dynamic_cast<My::Doc::FileNameChange*>(&e))
            ++names;
        if (dynamic_cast<My::Doc::SelectionChange*>(&e))
            ++selections;
    }
};

class Counter : public My::Action {
public:
    explicit Counter(int* value)
        : m_value(value)
    {
    }
    bool Do() override
    {
        ++*m_value;
        return true;
    }
    void Undo() override { --*m_value; }
    std::string GetName() const override { return "Count"; }

private:
    int* m_value;
};

class PickSelection : public My::Selection {
public:
    explicit PickSelection(int index)
        : m_index(index)
    {
    }
    void OnEvent(My::Event& e) override
    {
        if (auto* command = dynamic_cast<My::CommandEventBase*>(&e))
            commands.push_back(command->id);
    }
    bool IsEmpty() const override { return m_index < 0; }
    void Clear() override { m_index = -1; }
    bool CanDelete() const override { return m_index >= 0; }
    void Delete() override { }
    bool IsSame(const My::Selection& other) const override
    {
        auto* pick = dynamic_cast<const PickSelection*>(&other);
        return pick && pick->m_index == m_index;
    }
    void Change() { NotifyChange(); }
    std::vector<std::uint32_t> commands;

private:
    int m_index;
};

} // namespace

TEST(Doc, FailedOpenKeepsTheOperationNameAndTheDocument)
{
    My::ClearOperations();
    FileDoc doc;
    int value = 0;
    doc.GetHistory().Perform(new Counter(&value));
    doc.failLoad = true;
    EXPECT_THROW(doc.Open("missing.tvp", 0), std::runtime_error);
    EXPECT_EQ(My::GetCurrentOperation(), "opening project");
    EXPECT_EQ(My::ComposeErrorReport("file not found"), "Error while opening project:\nfile not found.");
    EXPECT_TRUE(doc.GetFileName().empty());
    EXPECT_TRUE(doc.GetHistory().CanUndo());
    My::ClearOperations();
}

TEST(Doc, FailedSaveStaysModified)
{
    My::ClearOperations();
    FileDoc doc;
    int value = 0;
    doc.SetFileName("/tmp/a.tvp");
    doc.GetHistory().Perform(new Counter(&value));
    doc.failStore = true;
    EXPECT_THROW(doc.Save(), std::runtime_error);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(My::GetCurrentOperation(), "saving project");
    My::ClearOperations();
    EXPECT_THROW(doc.SaveAs("/tmp/b.tvp"), std::runtime_error);
    EXPECT_EQ(doc.GetFileName(), "/tmp/a.tvp");
    My::ClearOperations();
}

TEST(Doc, OpenSaveAndCloseFlow)
{
    My::ClearOperations();
    FileDoc doc;
    Events events;
    doc.AddListener(&events);
    int value = 0;
    doc.GetHistory().Perform(new Counter(&value));
    doc.Open("project.tvp", 2);
    EXPECT_EQ(doc.calls.back(), "load project.tvp 2");
    const std::string full = (std::filesystem::current_path() / "project.tvp").string();
    EXPECT_EQ(doc.GetFileName(), full);
    EXPECT_FALSE(doc.GetHistory().CanUndo());
    EXPECT_EQ(My::GetCurrentOperation(), "");
    EXPECT_EQ(events.names, 1);
    doc.SetFileName("project.tvp"); // same full path: no event
    EXPECT_EQ(events.names, 1);

    doc.GetHistory().Perform(new Counter(&value));
    EXPECT_TRUE(doc.IsModified());
    doc.Save();
    EXPECT_EQ(doc.calls.back(), "store " + full);
    EXPECT_FALSE(doc.IsModified());
    doc.SaveAs("/tmp/other/../copy.tvp");
    EXPECT_EQ(doc.GetFileName(), "/tmp/copy.tvp");
    EXPECT_EQ(doc.calls.back(), "store /tmp/other/../copy.tvp");
    doc.GetHistory().Undo();
    EXPECT_TRUE(doc.IsModified());
    doc.Close();
    EXPECT_TRUE(doc.IsEmpty());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_FALSE(doc.GetHistory().CanRedo());
    EXPECT_GT(events.actions, 0);
    doc.RemoveListener(&events);
}

TEST(Doc, SelectionChangesOnlyWhenDifferent)
{
    FileDoc doc;
    Events events;
    doc.AddListener(&events);
    doc.Select(nullptr); // null is a NullSelection, the same as the current
    EXPECT_EQ(events.selections, 0);
    boost::shared_ptr<PickSelection> first(new PickSelection(1));
    doc.Select(first);
    EXPECT_EQ(events.selections, 1);
    EXPECT_EQ(first->GetOwner(), &doc);
    doc.Select(boost::shared_ptr<My::Selection>(new PickSelection(1)));
    EXPECT_EQ(events.selections, 1);
    EXPECT_EQ(doc.GetSelection().get(), first.get());

    // Command events reach the current selection.
    My::CommandEvent command(57632);
    doc.OnEvent(command);
    EXPECT_EQ(first->commands, (std::vector<std::uint32_t> { 57632 }));

    // A selection's own change notice counts only while the document is open.
    first->Change();
    EXPECT_EQ(events.selections, 1);
    doc.SetFileName("/tmp/open.tvp");
    first->Change();
    EXPECT_EQ(events.selections, 2);

    doc.Select(nullptr);
    EXPECT_EQ(first->GetOwner(), nullptr);
    EXPECT_TRUE(doc.GetSelection()->IsEmpty());
    EXPECT_EQ(events.selections, 3);
    doc.RemoveListener(&events);
}

TEST(Doc, FreeFunctionsActOnTheCurrentDocument)
{
    My::SetCurrentDoc(nullptr);
    My::BeginAction("nothing");
    My::EndAction();
    EXPECT_EQ(My::GetSelection(), nullptr);
    {
        My::ActionGroup group("none");
    }

    FileDoc doc;
    My::Doc* previous = My::SetCurrentDoc(&doc);
    int value = 0;
    My::BeginAction("Brush");
    doc.GetHistory().Perform(new Counter(&value));
    doc.GetHistory().Perform(new Counter(&value));
    My::EndAction();
    EXPECT_EQ(doc.GetHistory().GetCount(), 1u);
    EXPECT_EQ(doc.GetHistory().GetUndoName(), "Brush");
    {
        My::ActionGroup group;
        doc.GetHistory().Perform(new Counter(&value));
    }
    EXPECT_EQ(doc.GetHistory().GetUndoName(), "Count");
    EXPECT_EQ(My::GetSelection(), doc.GetSelection());
    My::SetCurrentDoc(previous);
}
