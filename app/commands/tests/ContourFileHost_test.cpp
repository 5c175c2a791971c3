#include "app/commands/ContourFileHost.h"

#include "document/composition/CompositionMember.h"
#include "document/segments/SegmentData.h"
#include "document/tests/segment_test_support.h"
#include "engine/frame_record.h"
#include "platform/gui/clipboard.h"
#include "platform/gui/cursor.h"
#include "platform/gui/file_dialog.h"
#include "platform/gui/messages.h"
#include "widgets/core/Event.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

using namespace segment_testing;
namespace fs = std::filesystem;

// A composition whose selected segment has contours on frames 1 and 2.
struct ContourDoc {
    PromptScope prompts;
    TLComp comp;
    TLSegment* segment;
    ContourDoc()
    {
        comp.SetFootage(boost::make_shared<SceneFootage>(4));
        segment = comp.GetSegmentSet().CreateSegment(1);
        trm::param params;
        params.decrease_mask_freedom = true;
        segment->SetParams(params);
        comp.SetExportInaccuracy(0.0f);
        SegmentData& engine = *segment->GetEngine();
        engine.set_range({ 1, 3 });
        for (int f = 1; f < 3; ++f) {
            auto record = boost::make_shared<trm::frame_record>();
            record->bit_mask = img::image<img::bit>(kWidth, kHeight, 4);
            record->bit_mask.fill(false);
            record->contour = { { 1.5f + float(f), 2.0f }, { 10.0f, 3.0f } };
            engine.store(f, record, { 1, 3 }, { 1, 1 });
        }
        segment->SetDataSpan(1, 3);
    }
};

struct EnabledUI : My::CommandUI {
    int enabled = -1;
    void Enable(bool on) override { enabled = on; }
    void SetCheck(int) override { }
    void SetRadio(bool) override { }
    void SetText(const std::string&) override { }
    bool IsMenuItem() const override { return true; }
};

int Enabled(CompositionMember& member, std::uint32_t id)
{
    EnabledUI ui;
    My::UpdateCommandUIEvent update(id, &ui);
    member.RouteCommand(update);
    return ui.enabled;
}

// Remembers the cursors shown while the clipboard takes the text.
std::vector<cursor_shape>& CursorsWhileCopying()
{
    static std::vector<cursor_shape> shapes;
    return shapes;
}

TEST(ContourFileHost, TheProgramsCommandsExportWithTheirDialogAndCopyUnderTheWaitCursor)
{
    ContourDoc d;
    CWnd* owner = nullptr;
    auto member = MakeContourCommands(d.comp, [&owner] { return owner; });
    EXPECT_EQ(Enabled(*member, 33224), 1);
    EXPECT_EQ(Enabled(*member, 33225), 1);
    EXPECT_EQ(Enabled(*member, 33226), -1);

    const fs::path folder = fs::temp_directory_path() / ("tavelo_contour_host_" + std::to_string(::getpid()));
    fs::create_directories(folder);
    std::string title, filter, extension;
    DWORD flags = 0;
    bool open = true;
    CFileDialog::SetResponder([&](CFileDialog& dialog) {
        title = dialog.GetTitle();
        filter = dialog.GetFilter();
        extension = dialog.GetDefaultExtension();
        flags = dialog.GetFlags();
        open = dialog.IsOpenDialog();
        dialog.SetPathName((folder / "walk").string());
        return IDOK;
    });
    My::CommandEvent exportContour(33225);
    EXPECT_TRUE(member->RouteCommand(exportContour));
    CFileDialog::SetResponder(nullptr);
    EXPECT_EQ(title, "Export Contour");
    EXPECT_EQ(filter, "Contour Text Files (*.txt)|*.txt||");
    EXPECT_EQ(extension, "txt");
    EXPECT_EQ(flags, DWORD(OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST));
    EXPECT_FALSE(open);
    std::ifstream in(folder / "walk.txt", std::ios::binary);
    const std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(written, ContourText(*d.segment));
    fs::remove_all(folder);

    CursorsWhileCopying().clear();
    platform::gui::set_clipboard_writer([](const std::string&) {
        CursorsWhileCopying().push_back(GetCursor() ? GetCursor()->shape : cursor_shape::arrow);
        return true;
    });
    const HCURSOR before = ::SetCursor(LoadCursor(IDC_CROSS));
    My::CommandEvent copy(33224);
    EXPECT_TRUE(member->RouteCommand(copy));
    platform::gui::set_clipboard_writer(nullptr);
    EXPECT_EQ(CursorsWhileCopying(), std::vector<cursor_shape> { cursor_shape::wait });
    EXPECT_EQ(GetCursor(), LoadCursor(IDC_CROSS));
    ::SetCursor(before);

    std::string lines = ContourText(*d.segment);
    for (std::size_t at = lines.find('\n'); at != std::string::npos; at = lines.find('\n', at + 2))
        lines.insert(at, "\r");
    My::CommandEvent copyAgain(33224);
    member->RouteCommand(copyAgain);
    EXPECT_EQ(platform::gui::clipboard_text(), lines);
    EXPECT_TRUE(d.prompts.prompt.texts.empty());
}

} // namespace
