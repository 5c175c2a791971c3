#include "app/shell/AppBase.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "app/resources/Resources.h"
#include "app/shell/tests/ShellFakes.h"
#include "widgets/core/Event.h"
#include "widgets/core/Strings.h"
#include "widgets/core/tests/FakeHost.h"

namespace {

using namespace resources;

class RecordingUI : public My::CommandUI {
public:
    explicit RecordingUI(bool menu)
        : menuItem(menu)
    {
    }
    void Enable(bool e) override { enabled = e; }
    void SetCheck(int c) override { check = c; }
    void SetRadio(bool r) override { radio = r; }
    void SetText(const std::string& t) override { text = t; }
    bool IsMenuItem() const override { return menuItem; }
    bool menuItem;
    bool enabled = true;
    int check = 0;
    bool radio = false;
    std::string text;
};

RecordingUI Update(My::AppBase& app, std::uint32_t id, bool menu = true)
{
    RecordingUI ui(menu);
    My::UpdateCommandUIEvent event(id, &ui);
    EXPECT_TRUE(app.RouteCommand(event));
    return ui;
}

class AppBaseTest : public ::testing::Test {
protected:
    void SetUp() override { app.Build(); }
    void OpenModified(const std::string& path)
    {
        ASSERT_TRUE(app.OpenProjectFile(path, -1));
        app.Doc().modified = true;
    }
    test::MemoryProfile profile;
    test::RecordingPrompt prompt;
    test::FakeApp app;
};

TEST_F(AppBaseTest, ErrorReportNamesTheOperationUnderWayAndClearsTheNames)
{
    My::AppBase::PushOperation("opening project");
    app.ReportError("file not found");
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0], "Error while opening project:\nfile not found.");
    EXPECT_EQ(prompt.styles[0] & 0xF0, unsigned(My::MB_ICONERROR));
    app.ReportError("disc full.");
    EXPECT_EQ(prompt.shown[1], "Error while performing operation:\ndisc full.");
    app.ReportError("two lines\n");
    EXPECT_EQ(prompt.shown[2], "Error while performing operation:\ntwo lines\n");
}

TEST_F(AppBaseTest, FailedOpenLeavesTheDocumentEmptyAndTheNameForTheReport)
{
    app.Doc().failLoad = true;
    EXPECT_THROW(app.OpenProjectFile("/clips/walk.tvp", -1), std::runtime_error);
    EXPECT_TRUE(app.Doc().IsEmpty());
    EXPECT_TRUE(app.GetRecentFiles().GetPaths().empty());
    app.ReportError("file not found");
    EXPECT_EQ(prompt.shown.back(), "Error while opening project:\nfile not found.");
}

TEST_F(AppBaseTest, ProjectsAreReadAndWrittenUnderTheWaitCursor)
{
    const HCURSOR arrow = LoadCursor(IDC_ARROW);
    const HCURSOR wait = LoadCursor(IDC_WAIT);
    ::SetCursor(arrow);
    OpenModified("/clips/walk.tvp");
    app.Command(ID_FILE_SAVE);
    ASSERT_EQ(app.Doc().cursors.size(), 2u);
    EXPECT_EQ(app.Doc().cursors[0], wait);
    EXPECT_EQ(app.Doc().cursors[1], wait);
    EXPECT_EQ(::GetCursor(), arrow);
    // A failed read or write gives the cursor back too.
    app.Doc().modified = true;
    app.Doc().failStore = true;
    EXPECT_THROW(app.Command(ID_FILE_SAVE), std::runtime_error);
    EXPECT_EQ(::GetCursor(), arrow);
    app.Doc().Close();
    app.Doc().failLoad = true;
    EXPECT_THROW(app.OpenProjectFile("/clips/run.tvp", -1), std::runtime_error);
    EXPECT_EQ(app.Doc().cursors.back(), wait);
    EXPECT_EQ(::GetCursor(), arrow);
}

TEST_F(AppBaseTest, CancelOfTheSaveQuestionKeepsTheModifiedProject)
{
    OpenModified("/clips/walk.tvp");
    prompt.answers = { My::IDCANCEL };
    ASSERT_TRUE(app.OpenDocumentFile("/clips/run.tvp"));
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0], My::LoadString(50004));
    EXPECT_EQ(prompt.styles[0], unsigned(My::MB_YESNOCANCEL | My::MB_ICONEXCLAMATION));
    EXPECT_EQ(app.Doc().GetFileName(), "/clips/walk.tvp");
    EXPECT_EQ(app.Doc().loads, 1);
}

TEST_F(AppBaseTest, FailedSaveOnClosingKeepsTheProjectOpen)
{
    OpenModified("/clips/walk.tvp");
    app.Doc().failStore = true;
    prompt.answers = { My::IDYES };
    EXPECT_THROW(app.Command(ID_FILE_CLOSE), std::runtime_error);
    EXPECT_FALSE(app.Doc().IsEmpty());
}

TEST_F(AppBaseTest, SaveQuestionAnsweredNoClosesWithoutSaving)
{
    OpenModified("/clips/walk.tvp");
    prompt.answers = { My::IDNO };
    app.Command(ID_FILE_CLOSE);
    EXPECT_TRUE(app.Doc().IsEmpty());
    EXPECT_TRUE(app.Doc().stored.empty());
}

TEST_F(AppBaseTest, SaveQuestionAnsweredYesSavesThenCloses)
{
    OpenModified("/clips/walk.tvp");
    prompt.answers = { My::IDYES };
    app.Command(ID_FILE_CLOSE);
    EXPECT_TRUE(app.Doc().IsEmpty());
    EXPECT_EQ(app.Doc().stored, std::vector<std::string> { "/clips/walk.tvp" });
}

TEST_F(AppBaseTest, DroppingTheOpenProjectDoesNothingAndSucceeds)
{
    OpenModified("/clips/walk.tvp");
    EXPECT_TRUE(app.OpenDocumentFile("/clips/walk.tvp"));
    EXPECT_EQ(app.Doc().loads, 1);
    EXPECT_TRUE(prompt.shown.empty());
}

TEST_F(AppBaseTest, OpenCommandClosesTheOldProjectAndAddsTheNewToTheRecentFiles)
{
    ASSERT_TRUE(app.OpenProjectFile("/clips/walk.tvp", -1));
    app.openAnswers = { "/clips/run.tvp" };
    app.Command(ID_FILE_OPEN);
    EXPECT_EQ(app.Doc().GetFileName(), "/clips/run.tvp");
    const std::vector<std::string> expected { "/clips/run.tvp", "/clips/walk.tvp" };
    EXPECT_EQ(app.GetRecentFiles().GetPaths(), expected);
    EXPECT_EQ(profile.strings["Recent File List/File1"], "/clips/run.tvp");
}

TEST_F(AppBaseTest, CancelledOpenDialogKeepsTheProject)
{
    ASSERT_TRUE(app.OpenProjectFile("/clips/walk.tvp", -1));
    app.Command(ID_FILE_OPEN);
    EXPECT_EQ(app.Doc().GetFileName(), "/clips/walk.tvp");
}

TEST_F(AppBaseTest, RecentEntryThatFailsToOpenLeavesTheList)
{
    ASSERT_TRUE(app.OpenProjectFile("/clips/walk.tvp", -1));
    app.Command(ID_FILE_CLOSE);
    app.Doc().failLoad = true;
    EXPECT_THROW(app.Command(ID_FILE_MRU_FIRST), std::runtime_error);
    EXPECT_TRUE(app.GetRecentFiles().GetPaths().empty());
}

TEST_F(AppBaseTest, UndoUnavailableShowsTheFormatWithAnEmptyNameDisabled)
{
    RecordingUI menu = Update(app, ID_EDIT_UNDO, true);
    EXPECT_EQ(menu.text, "Undo \tCtrl+Z");
    EXPECT_FALSE(menu.enabled);
    RecordingUI button = Update(app, ID_EDIT_REDO, false);
    EXPECT_EQ(button.text, "Redo ");
    EXPECT_FALSE(button.enabled);
}

TEST_F(AppBaseTest, ProjectCommandsAreEnabledOnlyWhileTheyApply)
{
    EXPECT_TRUE(Update(app, ID_FILE_NEW).enabled);
    EXPECT_TRUE(Update(app, ID_FILE_OPEN).enabled);
    EXPECT_FALSE(Update(app, ID_FILE_CLOSE).enabled);
    EXPECT_FALSE(Update(app, ID_FILE_SAVE_AS).enabled);
    ASSERT_TRUE(app.OpenProjectFile("/clips/walk.tvp", -1));
    EXPECT_TRUE(Update(app, ID_FILE_CLOSE).enabled);
    EXPECT_FALSE(Update(app, ID_FILE_SAVE).enabled);
    app.Doc().modified = true;
    EXPECT_TRUE(Update(app, ID_FILE_SAVE).enabled);
}

TEST_F(AppBaseTest, LanguageMenuMarksTheStoredChoice)
{
    profile.ints["Preferences/Language"] = 1;
    app.GetLanguage().Init("Preferences", "Language", "/nowhere/Tavelo");
    RecordingUI english = Update(app, ID_LANGUAGE_FIRST + 1);
    EXPECT_EQ(english.text, "English (United States) (Default)");
    EXPECT_TRUE(english.radio);
    RecordingUI russian = Update(app, ID_LANGUAGE_FIRST + 2);
    EXPECT_EQ(russian.text, "Russian");
    EXPECT_FALSE(russian.radio);
}

TEST_F(AppBaseTest, ChosenLanguageWithoutItsModuleAsksForARestart)
{
    profile.ints["Preferences/Language"] = 2;
    app.GetLanguage().Init("Preferences", "Language", "/nowhere/Tavelo");
    EXPECT_FALSE(app.GetLanguage().IsLoaded());
    RecordingUI russian = Update(app, ID_LANGUAGE_FIRST + 2);
    EXPECT_EQ(russian.text, "Russian (Restart Required)");
    EXPECT_TRUE(russian.radio);
}

TEST_F(AppBaseTest, ChoosingALanguageStoresItForTheNextStart)
{
    app.GetLanguage().Init("Preferences", "Language", "/nowhere/Tavelo");
    app.Command(ID_LANGUAGE_FIRST + 2);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0], "The language settings will take effect next time you launch the program.");
    EXPECT_EQ(profile.ints["Preferences/Language"], 2);
    EXPECT_FALSE(app.GetLanguage().IsLoaded());
    const auto menu = app.GetLanguageMenu();
    ASSERT_EQ(menu.size(), 2u);
    EXPECT_EQ(menu[0].id, ID_LANGUAGE_FIRST + 1);
    EXPECT_EQ(menu[1].id, ID_LANGUAGE_FIRST + 2);
}

TEST_F(AppBaseTest, TitleNamesTheProjectAndItsModifiedState)
{
    EXPECT_EQ(My::Frame::ComposeTitle(&app.Doc()), "Tavelo");
    ASSERT_TRUE(app.OpenProjectFile("/clips/walk.tvp", -1));
    EXPECT_EQ(My::Frame::ComposeTitle(&app.Doc()), "walk - Tavelo");
    app.Doc().modified = true;
    EXPECT_EQ(My::Frame::ComposeTitle(&app.Doc()), "walk * - Tavelo");
    EXPECT_EQ(My::Frame::ComposeTitle(nullptr), "Tavelo");
}

TEST_F(AppBaseTest, AcceleratorsActInEveryWindowOfTheFrameButItsTextFields)
{
    auto state = std::make_shared<test::FakePeerState>();
    My::Frame& frame = *app.GetMainFrame();
    ASSERT_TRUE(frame.AttachPeer(std::make_unique<test::FakePeer>(state)));
    ASSERT_TRUE(app.OpenProjectFile("/clips/walk.tvp", -1));
    app.Doc().modified = true;
    prompt.answers = { My::IDNO };
    // A text field inside the frame keeps its keys; so does a window
    // outside it.
    CEdit field;
    ASSERT_TRUE(field.AttachPeer(std::make_unique<test::FakePeer>(state), &frame));
    CWnd outside;
    ASSERT_TRUE(outside.AttachPeer(std::make_unique<test::FakePeer>(state)));
    EXPECT_FALSE(app.PreTranslateMessage(&field, 'S', platform::gui::MOD_CONTROL));
    EXPECT_FALSE(app.PreTranslateMessage(&outside, 'S', platform::gui::MOD_CONTROL));
    EXPECT_TRUE(app.Doc().stored.empty());
    // Ctrl+S in a panel's window saves; an accelerator whose command is
    // disabled is swallowed without running.
    CWnd panel;
    ASSERT_TRUE(panel.AttachPeer(std::make_unique<test::FakePeer>(state), &frame));
    EXPECT_TRUE(app.PreTranslateMessage(&panel, 'S', platform::gui::MOD_CONTROL));
    EXPECT_EQ(app.Doc().stored.size(), 1u);
    EXPECT_TRUE(app.PreTranslateMessage(&frame, 'S', platform::gui::MOD_CONTROL));
    EXPECT_EQ(app.Doc().stored.size(), 1u);
    // A key outside the table goes on to the window.
    EXPECT_FALSE(app.PreTranslateMessage(&frame, 'Q', 0));
    frame.SetEnabled(false);
    EXPECT_FALSE(app.PreTranslateMessage(&panel, 'S', platform::gui::MOD_CONTROL));
    panel.DestroyWindow();
    field.DestroyWindow();
    outside.DestroyWindow();
    frame.DestroyWindow();
}

TEST_F(AppBaseTest, TitleOfAnUntitledProject)
{
    class Untitled : public test::FakeDoc {
    public:
        bool IsEmpty() const override { return false; }
    } doc;
    EXPECT_EQ(My::Frame::ComposeTitle(&doc), "(Untitled) - Tavelo");
}

} // namespace

namespace {

std::string g_typed;

bool Typed(const platform::gui::file_dialog_request&, std::string& path, int& index)
{
    index = 0;
    path = g_typed;
    return true;
}

} // namespace

TEST_F(AppBaseTest, ProjectSavedUnderANameWithoutExtensionGetsTheFiltersOne)
{
    const auto previous = platform::gui::set_file_dialog_presenter(Typed);
    std::string path;
    g_typed = "/clips/walk";
    EXPECT_TRUE(app.My::AppBase::AskSaveFileName(path, ""));
    EXPECT_EQ(path, "/clips/walk.tvp");
    // A name with an extension is taken as typed.
    g_typed = "/clips/walk.tvp";
    EXPECT_TRUE(app.My::AppBase::AskSaveFileName(path, ""));
    EXPECT_EQ(path, "/clips/walk.tvp");
    g_typed = "/clips.d/walk.old";
    EXPECT_TRUE(app.My::AppBase::AskSaveFileName(path, ""));
    EXPECT_EQ(path, "/clips.d/walk.old");
    platform::gui::set_file_dialog_presenter(previous);
}

TEST(FilterExtension, IsTheFirstPatternsExtensionOfTheChosenEntry)
{
    EXPECT_EQ(My::FilterExtension("Tavelo Project (*.tvp)|*.tvp||", 0), "tvp");
    EXPECT_EQ(My::FilterExtension("Images|*.png;*.bmp|All Files|*.*||", 0), "png");
    EXPECT_EQ(My::FilterExtension("Images|*.png;*.bmp|All Files|*.*||", 1), "");
    EXPECT_EQ(My::FilterExtension("Tavelo Project (*.tvp)|*.tvp||", 1), "");
    EXPECT_EQ(My::FilterExtension("Tavelo Project (*.tvp)|*.tvp||", -1), "");
    EXPECT_EQ(My::FilterExtension("Anything|*||", 0), "");
    EXPECT_EQ(My::FilterExtension("", 0), "");
}

TEST_F(AppBaseTest, ReplacingAProjectUnderTheExtendedNameIsAskedFirst)
{
    const auto folder
        = std::filesystem::path(::testing::TempDir()) / ("tavelo_save_as_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::ofstream((folder / "walk.tvp").string()) << "<Project/>";
    const auto previous = platform::gui::set_file_dialog_presenter(Typed);
    g_typed = (folder / "walk").string();
    std::string path;
    prompt.answers = { My::IDNO, My::IDYES };
    EXPECT_FALSE(app.My::AppBase::AskSaveFileName(path, ""));
    EXPECT_EQ(path, "");
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0], "walk.tvp already exists.\nDo you want to replace it?");
    EXPECT_TRUE(app.My::AppBase::AskSaveFileName(path, ""));
    EXPECT_EQ(path, (folder / "walk.tvp").string());
    // A name the dialog itself asked about is not asked again.
    g_typed = (folder / "walk.tvp").string();
    EXPECT_TRUE(app.My::AppBase::AskSaveFileName(path, ""));
    EXPECT_EQ(prompt.shown.size(), 2u);
    platform::gui::set_file_dialog_presenter(previous);
    std::filesystem::remove_all(folder);
}
