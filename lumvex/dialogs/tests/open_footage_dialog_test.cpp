#include "lumvex/dialogs/open_footage_dialog.h"

#include "lumvex/dll.h"
#include "lumvex/files/gdiplus_reader.h"
#include "lumvex/footage/deinterlaced_footage.h"
#include "lumvex/footage/still_footage.h"
#include "lumvex/tests/settings_store_support.h"
#include "platform/gui/messages.h"

#include <gtest/gtest.h>

#include <functional>

using namespace cache_test;
using F = lumvex::open_footage_dialog;

namespace {

class answer {
public:
    explicit answer(std::function<int(CFileDialog&)> act) { CFileDialog::SetResponder(std::move(act)); }
    ~answer() { CFileDialog::SetResponder(nullptr); }
};

TEST(open_footage_panel, EnableRule)
{
    const auto e = F::enable_rule(false, false, 0);
    EXPECT_FALSE(e.still);
    EXPECT_TRUE(e.fields);
    EXPECT_FALSE(e.method);
    const auto still = F::enable_rule(true, true, 2);
    EXPECT_TRUE(still.still);
    EXPECT_FALSE(still.fields);
    EXPECT_FALSE(still.method);
    EXPECT_TRUE(F::enable_rule(true, false, 1).method);
}

using open_footage = settings_fixture;

TEST_F(open_footage, CancelGivesNothingAndTheDialogIsTheOpenFootageOne)
{
    lumvex::dll library;
    std::string title, filter;
    answer a([&](CFileDialog& d) {
        title = d.GetTitle();
        filter = d.GetFilter();
        EXPECT_TRUE(d.IsOpenDialog());
        EXPECT_FALSE(d.IsItemEnabled(F::id_still));
        d.Click(F::id_still); // greyed: no effect
        EXPECT_FALSE(d.IsItemChecked(F::id_still));
        EXPECT_FALSE(d.IsItemEnabled(F::id_method));
        return IDCANCEL;
    });
    EXPECT_FALSE(library.create_footage_dialog(false, nullptr));
    EXPECT_EQ(title, "Open Footage");
    EXPECT_EQ(filter.rfind("All Supported Formats|*.avi;*.BMP;*.TGA", 0), 0u) << filter;
    EXPECT_NE(filter.find("|AVI Video (*.AVI)|*.AVI|Image Sequence ("), std::string::npos);
    EXPECT_EQ(filter.substr(filter.size() - 22), "|All Files (*.*)|*.*||");
    const auto pairs = parse_file_filter(filter);
    ASSERT_EQ(pairs.size(), 4u);
    EXPECT_EQ(pairs[3], std::make_pair(std::string("All Files (*.*)"), std::string("*.*")));
}

TEST_F(open_footage, ChoicesOfThePanelMakeTheFootage)
{
    const std::string a = folder.file("shot0001.png"), b = folder.file("shot0002.png");
    img::gdiplus_writer().write(a, "png", picture(6, 4, 1), false);
    img::gdiplus_writer().write(b, "png", picture(6, 4, 2), false);
    lumvex::dll library;

    // Still image: the lists are greyed and ignored.
    answer still([&](CFileDialog& d) {
        d.Select(F::id_fields, 1);
        d.Click(F::id_still);
        EXPECT_FALSE(d.IsItemEnabled(F::id_fields));
        EXPECT_FALSE(d.IsItemEnabled(F::id_method));
        d.SetPathName(a);
        return IDOK;
    });
    auto f = library.create_footage_dialog(true, nullptr);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->frame_count(), 1);
    EXPECT_FALSE(dynamic_cast<lumvex::deinterlaced_footage*>(f.get()));

    // "Off": the sequence itself.
    CFileDialog::SetResponder([&](CFileDialog& d) {
        d.SetPathName(a);
        return IDOK;
    });
    f = library.create_footage_dialog(true, nullptr);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->frame_count(), 2);
    EXPECT_FALSE(dynamic_cast<lumvex::deinterlaced_footage*>(f.get()));

    // Lower first, interpolated.
    CFileDialog::SetResponder([&](CFileDialog& d) {
        d.Select(F::id_fields, 2);
        EXPECT_TRUE(d.IsItemEnabled(F::id_method));
        d.Select(F::id_method, 1);
        d.SetPathName(a);
        return IDOK;
    });
    f = library.create_footage_dialog(false, nullptr);
    auto* wrapped = dynamic_cast<lumvex::deinterlaced_footage*>(f.get());
    ASSERT_TRUE(wrapped);
    EXPECT_EQ(wrapped->fields(), lumvex::deinterlace_fields::lower_first);
    EXPECT_EQ(wrapped->method(), lumvex::deinterlace_method::interpolate);
}

} // namespace
