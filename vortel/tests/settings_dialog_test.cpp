#include "vortel/settings_dialog.h"

#include "foundation/system/regprofile.h"
#include "platform/gui/file_dialog.h"
#include "platform/gui/messages.h"
#include "platform/video/avi_file.h"
#include "vortel/settings.h"
#include "vortel/tests/support.h"
#include "vortel/writer_factory.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>

namespace {

using namespace vortel_test;
using platform::mmioFOURCC;
using vortel::settings_dialog;

// Answers every modal dialog of the test with `act`.
class scripted_dialog {
public:
    explicit scripted_dialog(std::function<void(CDialog&)> act) { CDialog::SetResponder(std::move(act)); }
    ~scripted_dialog() { CDialog::SetResponder(nullptr); }
};

class scripted_file_dialog {
public:
    explicit scripted_file_dialog(std::function<int(CFileDialog&)> act)
    {
        CFileDialog::SetResponder(std::move(act));
    }
    ~scripted_file_dialog() { CFileDialog::SetResponder(nullptr); }
};

std::vector<unsigned char> state_of(const img::avi::coder& c)
{
    std::vector<unsigned char> state;
    c.get_state(state);
    return state;
}

int index_of(const CDialog& d, int id, const std::string& text)
{
    for (int i = 0; i < d.GetCount(id); ++i)
        if (d.GetLBText(id, i) == text)
            return i;
    return CB_ERR;
}

class RenderingSettingsDialog : public ::testing::Test {
protected:
    scratch_folder m_folder;
    scoped_settings_store m_store { m_folder };
};

TEST_F(RenderingSettingsDialog, AviWithoutACompressorCannotBeConfirmed)
{
    vortel::settings s;
    s.format = "png";
    bool checked = false;
    scripted_dialog answer([&](CDialog& d) {
        EXPECT_TRUE(d.IsItemEnabled(IDOK));
        d.Select(settings_dialog::id_format, 0);
        EXPECT_FALSE(d.IsItemEnabled(IDOK));
        d.Click(IDOK); // refused: the button is greyed
        checked = true;
    });
    s.configure(false, nullptr);
    EXPECT_TRUE(checked);
    EXPECT_EQ(s.format, "png");
}

TEST_F(RenderingSettingsDialog, FormatTextSelectsItsItemElseBmp)
{
    vortel::settings s;
    for (const auto& [format, item] :
        std::vector<std::pair<std::string, std::string>> { { "tiff", "TIFF sequence" },
            { "JPEG", "JPEG sequence" }, { "xyz", "BMP sequence" }, { "", "AVI file" } }) {
        s.format = format;
        std::string shown;
        scripted_dialog answer([&](CDialog& d) { shown = d.GetDlgItemText(settings_dialog::id_format); });
        s.configure(false, nullptr);
        EXPECT_EQ(shown, item) << format;
    }
    EXPECT_EQ(settings_dialog::format_of_item("JPEG sequence"), "jpeg");
    EXPECT_EQ(settings_dialog::format_of_item("AVI file"), "avi");
}

TEST_F(RenderingSettingsDialog, CancelLeavesEverythingAndOkStoresOnlyWhenAsked)
{
    vortel::settings s;
    scripted_dialog answer([&](CDialog& d) {
        d.Select(settings_dialog::id_format, index_of(d, settings_dialog::id_format, "PNG sequence"));
        d.Click(settings_dialog::id_alpha);
        d.Select(settings_dialog::id_field, 2);
        d.Click(IDCANCEL);
    });
    s.configure(true, nullptr);
    EXPECT_EQ(s.format, "bmp");
    EXPECT_FALSE(s.alpha);
    EXPECT_EQ(s.field, 0);

    CDialog::SetResponder([&](CDialog& d) {
        d.Select(settings_dialog::id_format, index_of(d, settings_dialog::id_format, "PNG sequence"));
        d.Click(settings_dialog::id_alpha);
        d.Select(settings_dialog::id_field, 2);
        d.Click(IDOK);
    });
    s.configure(false, nullptr);
    EXPECT_EQ(s.format, "png");
    EXPECT_TRUE(s.alpha);
    EXPECT_EQ(s.field, 2);
    vortel::settings stored(true);
    EXPECT_EQ(stored.format, "bmp");

    s.configure(true, nullptr);
    vortel::settings saved(true);
    EXPECT_EQ(saved.format, "png");
    EXPECT_EQ(saved.field, 2);
}

TEST_F(RenderingSettingsDialog, CompressorsAreListedOnceByCodeAndChosenOnOk)
{
    vortel::settings s;
    s.format = "avi";
    s.encoder.open_code(s.encoder_info, mmioFOURCC('M', 'J', 'P', 'G'));
    const std::string current = s.encoder_info.name;
    std::vector<img::avi::coder_info> installed;
    img::avi::enumerate_coders(installed, 720, 576);
    ASSERT_GE(installed.size(), 2u);
    const img::avi::coder_info* other = nullptr;
    for (const auto& i : installed)
        if (i.handler() != s.encoder_info.handler())
            other = &i;
    ASSERT_NE(other, nullptr);

    scripted_dialog answer([&](CDialog& d) {
        using D = settings_dialog;
        // Every compressor is listed before the list is first opened, the
        // current one once.
        EXPECT_EQ(d.GetCount(D::id_encoder), int(installed.size()));
        EXPECT_EQ(d.GetDlgItemText(D::id_encoder), current);
        EXPECT_EQ(d.GetDlgItemText(D::id_description), s.encoder_info.description);
        d.DropDown(D::id_encoder);
        d.DropDown(D::id_encoder);
        EXPECT_EQ(d.GetCount(D::id_encoder), int(installed.size()));
        EXPECT_EQ(d.GetDlgItemText(D::id_encoder), current);
        d.Select(D::id_encoder, index_of(d, D::id_encoder, other->name));
        EXPECT_EQ(d.GetDlgItemText(D::id_description), other->description);
        // An image sequence greys the compressor but keeps it.
        d.Select(D::id_format, index_of(d, D::id_format, "PNG sequence"));
        EXPECT_FALSE(d.IsItemEnabled(D::id_encoder));
        EXPECT_FALSE(d.IsItemEnabled(D::id_description));
        EXPECT_FALSE(d.IsItemEnabled(D::id_about));
        EXPECT_FALSE(d.IsItemEnabled(D::id_configure));
        d.Click(IDOK);
    });
    s.configure(false, nullptr);
    EXPECT_EQ(s.format, "png");
    ASSERT_TRUE(s.encoder.is_open());
    EXPECT_EQ(s.encoder.info(), &s.encoder_info);
    EXPECT_EQ(s.encoder_info.handler(), other->handler());
}

TEST_F(RenderingSettingsDialog, CancelKeepsTheCompressorAndItsState)
{
    vortel::settings s;
    s.format = "avi";
    s.encoder.open_code(s.encoder_info, mmioFOURCC('M', 'J', 'P', 'G'));
    auto state = state_of(s.encoder);
    state[12] = 40;
    s.encoder.set_state(state);
    const img::avi::coder_info* record = &s.encoder_info;

    // The dialog's own copy carries the state; Cancel drops it.
    scripted_dialog answer([&](CDialog& d) {
        auto& dialog = static_cast<settings_dialog&>(d);
        EXPECT_EQ(state_of(dialog.own_coder()), state);
        d.DropDown(settings_dialog::id_encoder);
        for (int i = 0; i < d.GetCount(settings_dialog::id_encoder); ++i)
            if (d.GetLBText(settings_dialog::id_encoder, i) != s.encoder_info.name)
                d.Select(settings_dialog::id_encoder, i);
        d.Click(IDCANCEL);
    });
    s.configure(true, nullptr);
    EXPECT_EQ(s.encoder.info(), record);
    EXPECT_EQ(s.encoder_info.code_text(), "MJPG");
    EXPECT_EQ(state_of(s.encoder), state);

    // OK with the same compressor keeps its state.
    CDialog::SetResponder([](CDialog& d) { d.Click(IDOK); });
    s.configure(true, nullptr);
    EXPECT_EQ(state_of(s.encoder), state);
    vortel::settings saved(true);
    EXPECT_EQ(state_of(saved.encoder), state);
}

TEST_F(RenderingSettingsDialog, RenderFileDialogProposesANumberedSequence)
{
    vortel::settings s;
    s.format = "tga";
    std::string proposed, title;
    int index = 0;
    scripted_file_dialog answer([&](CFileDialog& d) {
        proposed = d.GetPathName();
        title = d.GetTitle();
        index = d.GetFilterIndex();
        EXPECT_FALSE(d.IsOpenDialog());
        EXPECT_EQ(d.GetFlags(), 0x80080Eu);
        EXPECT_EQ(d.GetDefaultExtension(), "tga");
        d.SetPathName(m_folder.file("shot_[###]"));
        return IDOK;
    });
    auto w = s.open_writer({ 4, 4 }, fraction(25, 1), "/out/shot.avi", "", nullptr);
    EXPECT_EQ(proposed, "/out/shot_[###].tga");
    EXPECT_EQ(title, "Render to");
    EXPECT_EQ(index, 2);
    ASSERT_NE(w, nullptr);
    w->write(make_frame(4, 4, test_pixels(4, 4, 0)));
    w->finish();
    EXPECT_TRUE(fs::exists(m_folder.file("shot_000.tga")));

    CFileDialog::SetResponder([&](CFileDialog& d) {
        title = d.GetTitle();
        return IDCANCEL;
    });
    EXPECT_EQ(s.open_writer({ 4, 4 }, fraction(25, 1), "", "Export", nullptr), nullptr);
    EXPECT_EQ(title, "Export");
}

TEST_F(RenderingSettingsDialog, RenderFileDialogNeverProposesTheFootageAndAsksAgainWhenItIsChosen)
{
    message_boxes boxes;
    const std::string clip = m_folder.file("clip.avi");
    std::ofstream(clip) << "the footage";
    const std::vector<std::string> kept { clip };
    vortel::settings s;
    s.format = "avi";
    s.encoder.open_code(s.encoder_info, mmioFOURCC('M', 'J', 'P', 'G'));
    // An AVI project rendered to AVI: a free name beside the footage.
    std::string proposed;
    scripted_file_dialog answer([&](CFileDialog& d) {
        proposed = d.GetPathName();
        return IDOK;
    });
    auto w = s.open_writer({ 16, 16 }, fraction(25, 1), clip, "", nullptr, kept);
    EXPECT_EQ(proposed, m_folder.file("clip_render.avi"));
    ASSERT_NE(w, nullptr);
    w->write(make_frame(16, 16, test_pixels(16, 16, 0)));
    w->finish();
    EXPECT_TRUE(message_boxes::shown().empty());

    // The footage itself, chosen by the user, is refused with a message and
    // the dialog comes back holding the refused name, in the filter the
    // user chose; another name then renders.
    const std::string refused = m_folder.file("sub/../clip.avi");
    std::vector<std::string> offered;
    std::vector<int> filters;
    CFileDialog::SetResponder([&](CFileDialog& d) {
        offered.push_back(d.GetPathName());
        filters.push_back(d.GetFilterIndex());
        d.SetPathName(offered.size() == 1 ? refused : m_folder.file("other.avi"));
        d.SetFilterIndex(1);
        return IDOK;
    });
    fs::create_directories(m_folder.file("sub"));
    w = s.open_writer({ 16, 16 }, fraction(25, 1), clip, "", nullptr, kept);
    ASSERT_NE(w, nullptr);
    w->write(make_frame(16, 16, test_pixels(16, 16, 0)));
    w->finish();
    EXPECT_EQ(offered, (std::vector<std::string> { m_folder.file("clip_render.avi"), refused }));
    EXPECT_EQ(filters, (std::vector<int> { 1, 1 }));
    ASSERT_EQ(message_boxes::shown().size(), 1u);
    EXPECT_EQ(message_boxes::shown()[0].first, kept_file_message);
    EXPECT_TRUE(fs::exists(m_folder.file("other.avi")));
    std::ifstream in(clip);
    EXPECT_EQ(
        std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), "the footage");

    // Refused again and again until the user cancels: nothing is written.
    offered.clear();
    CFileDialog::SetResponder([&](CFileDialog& d) {
        offered.push_back(d.GetPathName());
        if (offered.size() == 3)
            return IDCANCEL;
        d.SetPathName(clip);
        return IDOK;
    });
    EXPECT_EQ(s.open_writer({ 16, 16 }, fraction(25, 1), clip, "", nullptr, kept), nullptr);
    EXPECT_EQ(offered, (std::vector<std::string> { m_folder.file("clip_render.avi"), clip, clip }));
    EXPECT_EQ(message_boxes::shown().size(), 3u);

    // Sequences: a pattern that would name a kept member is proposed with
    // the tag too.
    const kept_files members({ m_folder.file("clip_002.png") });
    EXPECT_EQ(vortel::proposed_render_path(clip, "png", members), m_folder.file("clip_render_[###].png"));
    EXPECT_EQ(vortel::proposed_render_path(clip, "tga", members), m_folder.file("clip_[###].tga"));
}

} // namespace
