// Headless tests of dialogs made from templates and of the file dialog's
// texts: the controls' state is kept without a display.

#include <gtest/gtest.h>

#include "platform/gui/dialog.h"
#include "platform/gui/file_dialog.h"
#include "platform/gui/folder_dialog.h"
#include "platform/gui/messages.h"

#include <stdexcept>

namespace {

dialog_template sample()
{
    using c = dialog_control;
    return { "Sample", 100, 60,
        {
            { c::drop_list, 10, "", 0, 0, 50, 50, true },
            { c::drop_list, 11, "", 0, 0, 50, 50 },
            { c::check_box, 12, "Box", 0, 0, 50, 10 },
            { c::edit, 13, "text", 0, 0, 50, 10 },
            { c::read_only_edit, 14, "fixed", 0, 0, 50, 10 },
            { c::push_button, 15, "Later", 0, 0, 50, 10, false, true },
            { c::default_button, IDOK, "OK", 0, 0, 50, 10 },
            { c::push_button, IDCANCEL, "Cancel", 0, 0, 50, 10 },
        } };
}

struct Recorder : CDialog {
    Recorder()
        : CDialog(sample(), nullptr)
    {
    }
    std::vector<std::pair<int, int>> commands;
    bool fail_on_init = false;

protected:
    void OnInitDialog() override
    {
        if (fail_on_init)
            throw std::runtime_error("no");
    }
    void OnCommand(int id, int code) override
    {
        commands.emplace_back(id, code);
        CDialog::OnCommand(id, code);
    }
};

struct Responder {
    explicit Responder(CDialog::responder r) { CDialog::SetResponder(std::move(r)); }
    ~Responder() { CDialog::SetResponder(nullptr); }
};

TEST(DialogTemplate, FailuresAndGreyedControls)
{
    Recorder d;
    d.fail_on_init = true;
    EXPECT_THROW(d.DoModal(), std::runtime_error);

    Recorder quiet;
    {
        // A responder that does not end the dialog cancels it.
        Responder r([](CDialog&) {});
        EXPECT_EQ(quiet.DoModal(), IDCANCEL);
    }
    // Unknown ids are ignored; greyed controls take no action.
    quiet.SetDlgItemText(99, "x");
    EXPECT_EQ(quiet.GetDlgItemText(99), "");
    EXPECT_EQ(quiet.AddString(12, "not a list"), CB_ERR);
    EXPECT_FALSE(quiet.IsItemEnabled(15));
    quiet.Click(15);
    quiet.Type(14, "read only");
    EXPECT_EQ(quiet.GetDlgItemText(14), "fixed");
    EXPECT_TRUE(quiet.commands.empty());
    quiet.SetCurSel(10, 5);
    EXPECT_EQ(quiet.GetCurSel(10), CB_ERR);
}

TEST(DialogTemplate, SortedListsKeepTheirOrderAndSelection)
{
    Recorder d;
    EXPECT_EQ(d.AddString(10, "beta"), 0);
    d.SetCurSel(10, 0);
    EXPECT_EQ(d.AddString(10, "Alpha"), 0);
    EXPECT_EQ(d.AddString(10, "gamma"), 2);
    EXPECT_EQ(d.GetCurSel(10), 1);
    EXPECT_EQ(d.GetDlgItemText(10), "beta");
    EXPECT_EQ(d.FindString(10, "GA"), 2);
    EXPECT_EQ(d.FindString(10, "delta"), CB_ERR);
    EXPECT_EQ(d.AddString(11, "z"), 0);
    EXPECT_EQ(d.AddString(11, "a"), 1);
    d.ResetContent(10);
    EXPECT_EQ(d.GetCount(10), 0);
    EXPECT_EQ(d.GetCurSel(10), CB_ERR);
}

TEST(DialogTemplate, PlayedActionsArriveAsCommands)
{
    Recorder d;
    d.AddString(11, "one");
    Responder r([](CDialog& dialog) {
        dialog.Click(12);
        dialog.Select(11, 0);
        dialog.DropDown(11);
        dialog.Type(13, "new");
        dialog.Click(IDOK);
    });
    EXPECT_EQ(d.DoModal(), IDOK);
    EXPECT_TRUE(d.IsDlgButtonChecked(12));
    EXPECT_EQ(d.GetDlgItemText(13), "new");
    const std::vector<std::pair<int, int>> expected { { 12, BN_CLICKED }, { 11, CBN_SELCHANGE },
        { 11, CBN_DROPDOWN }, { 13, EN_SETFOCUS }, { 13, EN_CHANGE }, { IDOK, BN_CLICKED } };
    EXPECT_EQ(d.commands, expected);
}

TEST(DialogTemplate, ModelessDialogsHideOnEnd)
{
    Recorder d;
    d.ShowWindow(SW_SHOW); // not made yet
    EXPECT_FALSE(d.IsWindowVisible());
    d.Create(nullptr);
    d.ShowWindow(SW_SHOW);
    EXPECT_TRUE(d.IsWindowVisible());
    d.Click(IDCANCEL);
    EXPECT_FALSE(d.IsWindowVisible());
}

TEST(FileDialogTexts, FiltersAndDefaultExtensions)
{
    const auto f = parse_file_filter("AVI Video (*.avi)|*.avi|Image Sequence (*.BMP;*.PNG)|*.BMP;*.PNG||");
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(f[1].first, "Image Sequence (*.BMP;*.PNG)");
    EXPECT_EQ(f[1].second, "*.BMP;*.PNG");
    EXPECT_TRUE(parse_file_filter("").empty());
    EXPECT_TRUE(parse_file_filter("|x|").empty());
    EXPECT_EQ(parse_file_filter("Name only").size(), 0u);
    EXPECT_EQ(parse_file_filter("A|*.a").size(), 1u);

    EXPECT_EQ(with_default_extension("/out/shot", "avi"), "/out/shot.avi");
    EXPECT_EQ(with_default_extension("/out.d/shot", "avi"), "/out.d/shot.avi");
    EXPECT_EQ(with_default_extension("/out/shot.tga", "avi"), "/out/shot.tga");
    EXPECT_EQ(with_default_extension("/out/", "avi"), "/out/");
    EXPECT_EQ(with_default_extension("shot", ""), "shot");
}

TEST(FileDialogTexts, PatternsReachTheChooserMatchingNamesInEitherCase)
{
    EXPECT_EQ(case_blind_patterns("*.BMP;*.png"), "*.[bB][mM][pP];*.[pP][nN][gG]");
    EXPECT_EQ(case_blind_patterns("*.*"), "*.*");
    EXPECT_EQ(case_blind_patterns("f0?.tga"), "[fF]0?.[tT][gG][aA]");
    EXPECT_EQ(case_blind_patterns("*.[ab]x"), "*.[ab][xX]");
    EXPECT_EQ(native_file_filter("AVI Video (*.AVI)|*.AVI|All Files (*.*)|*.*||"),
        "AVI Video (*.AVI)|*.[aA][vV][iI]|All Files (*.*)|*.*");
}

TEST(FileDialogTexts, ResponderAnswersAndPanel)
{
    struct Panel : CFileDialog {
        Panel()
            : CFileDialog(false, "png", "a", OFN_OVERWRITEPROMPT, "P|*.png||", nullptr)
        {
            AddCheckBox(1, "Box");
            AddChoice(2, { "x", "y" });
        }
        int commands = 0;
        void OnPanelCommand(int) override { ++commands; }
    } d;
    CFileDialog::SetResponder([](CFileDialog& dialog) {
        dialog.Select(2, 5); // no such item
        dialog.Select(2, 1);
        dialog.EnableItem(1, false);
        dialog.Click(1);
        dialog.SetPathName("/tmp/b");
        return IDOK;
    });
    EXPECT_EQ(d.DoModal(), IDOK);
    CFileDialog::SetResponder(nullptr);
    EXPECT_EQ(d.GetPathName(), "/tmp/b.png");
    EXPECT_EQ(d.GetSelection(2), 1);
    EXPECT_FALSE(d.IsItemChecked(1));
    EXPECT_EQ(d.commands, 1);
    // Without a display and a responder the dialogs cancel.
    EXPECT_EQ(d.DoModal(), IDCANCEL);
    std::string folder = "/keep";
    EXPECT_FALSE(BrowseForFolder("t", folder, nullptr));
    EXPECT_EQ(folder, "/keep");
}

} // namespace
