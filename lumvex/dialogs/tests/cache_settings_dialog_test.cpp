#include "lumvex/dialogs/cache_settings_dialog.h"

#include "lumvex/cache/cache_system.h"
#include "lumvex/dialogs/cache_settings_form.h"
#include "lumvex/dll.h"
#include "lumvex/tests/settings_store_support.h"
#include "platform/gui/folder_dialog.h"
#include "platform/gui/message_box.h"
#include "platform/gui/messages.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>

#include <unistd.h>

using namespace cache_test;
using D = lumvex::cache_settings_dialog;
namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t mib = 1024 * 1024;
constexpr std::uint64_t ram = 2048 * mib;

// Answers the modal dialogs, folder choosers and message boxes of a test.
class script {
public:
    explicit script(std::function<void(CDialog&)> act) { CDialog::SetResponder(std::move(act)); }
    ~script()
    {
        CDialog::SetResponder(nullptr);
        SetFolderResponder(nullptr);
        platform::set_message_box_presenter(m_previous);
    }
    void choose_folder(std::string folder, bool ok = true)
    {
        SetFolderResponder([folder, ok](const std::string& title, std::string& chosen) {
            EXPECT_EQ(title, "Choose Directory for Disc Cache Deployment");
            chosen = folder;
            return ok;
        });
    }
    static std::vector<std::string>& shown()
    {
        static std::vector<std::string> texts;
        return texts;
    }

private:
    static int record(const std::string& text, unsigned)
    {
        shown().push_back(text);
        return platform::IDOK;
    }
    platform::message_box_presenter m_previous
        = (shown().clear(), platform::set_message_box_presenter(&record));
};

void touch(const fs::path& file)
{
    std::ofstream(file) << "x";
}

TEST(cache_settings_form, MegabytesShowRoundedUpToOneDecimal)
{
    EXPECT_EQ(lumvex::megabytes_text(0), "0");
    EXPECT_EQ(lumvex::megabytes_text(mib), "1");
    EXPECT_EQ(lumvex::megabytes_text(mib + mib / 2 + 1), "1.6");
    EXPECT_EQ(lumvex::megabytes_text(1), "0.1");
}

TEST(cache_settings_form, NegativeAndAbsurdEntriesAreRefusedOrSaturate)
{
    EXPECT_FALSE(lumvex::megabytes_entry("-1"));
    EXPECT_FALSE(lumvex::megabytes_entry("-0"));
    EXPECT_FALSE(lumvex::megabytes_entry("nan"));
    EXPECT_EQ(lumvex::megabytes_entry("0.5"), 524288u);
    EXPECT_EQ(lumvex::megabytes_entry("lots"), 0u);
    EXPECT_EQ(lumvex::megabytes_entry("1e300"), std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(lumvex::megabytes_entry("inf"), std::numeric_limits<std::uint64_t>::max());
    // 5000 GiB: beyond 32 bits, kept in 64.
    EXPECT_EQ(lumvex::megabytes_entry("5120000"), 5120000 * mib);
    EXPECT_EQ(lumvex::count_entry("99999999999999"), std::numeric_limits<int>::max());
    EXPECT_EQ(lumvex::count_entry("x"), 0);
}

using cache_folder_choice = settings_fixture;

TEST_F(cache_folder_choice, FoldersWithOtherFilesAreRefused)
{
    const fs::path root = folder.path() / "pick";
    EXPECT_TRUE(lumvex::folder_fits_disc_cache(root.string(), ""));
    fs::create_directories(root);
    EXPECT_TRUE(lumvex::folder_fits_disc_cache(root.string(), ""));
    touch(root / "a.png");
    EXPECT_FALSE(lumvex::folder_fits_disc_cache(root.string(), ""));
    touch(root / "a.txt");
    EXPECT_TRUE(lumvex::folder_fits_disc_cache(root.string(), ""));
    fs::create_directories(root / "sub");
    EXPECT_FALSE(lumvex::folder_fits_disc_cache(root.string(), ""));
    EXPECT_TRUE(lumvex::folder_fits_disc_cache(root.string(), root.string() + "/"));
    touch(folder.path() / "file");
    EXPECT_FALSE(lumvex::folder_fits_disc_cache((folder.path() / "file").string(), ""));
    EXPECT_FALSE(lumvex::folder_fits_disc_cache("", ""));
}

// The administrator may write anywhere the system lets anyone write, so
// the folders here are unwritable for everyone: under a file, and inside
// the system's process folder.
TEST_F(cache_folder_choice, FoldersNoFileCanBeWrittenInAreRefused)
{
    touch(folder.path() / "file");
    const std::string under_file = (folder.path() / "file" / "cache").string();
    EXPECT_FALSE(lumvex::folder_writable(under_file));
    EXPECT_NE(lumvex::disc_folder_refusal(under_file, ""), "");
    EXPECT_FALSE(lumvex::folder_writable((folder.path() / "file" / "a" / "b").string() + "/"));
    if (fs::is_directory("/proc/self")) {
        EXPECT_FALSE(lumvex::folder_writable("/proc/lumvex-cache"));
    }
    if (::geteuid() != 0) {
        const fs::path locked = folder.path() / "locked";
        fs::create_directories(locked);
        fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_FALSE(lumvex::folder_writable(locked.string()));
        fs::permissions(locked, fs::perms::owner_all);
    }

    const fs::path empty = folder.path() / "empty";
    fs::create_directories(empty);
    EXPECT_EQ(lumvex::disc_folder_refusal(empty.string(), ""), "");
    EXPECT_TRUE(fs::is_empty(empty)) << "the trial file is removed";
    EXPECT_EQ(lumvex::disc_folder_refusal((empty / "new" / "cache").string(), ""), "");
    EXPECT_FALSE(fs::exists(empty / "new")) << "choosing makes no folder";
    EXPECT_EQ(lumvex::disc_folder_refusal(under_file, under_file + "/"), "") << "the current root stays";
}

using cache_settings_dialog_test = settings_fixture;

TEST_F(cache_settings_dialog_test, NegativeEntriesApplyNothing)
{
    lumvex::cache_system system(ram);
    const lumvex::cache_settings before = system.settings();
    script s([](CDialog& d) {
        d.Type(D::id_memory_quota, "-5");
        d.Type(D::id_prefetch, "50");
        d.Click(IDOK); // refused: the dialog stays
        EXPECT_TRUE(d.IsItemEnabled(D::id_apply));
        d.Click(IDCANCEL);
    });
    D dialog(system, nullptr);
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    ASSERT_EQ(script::shown().size(), 1u);
    EXPECT_EQ(system.settings().memory_quota, before.memory_quota);
    EXPECT_EQ(system.settings().prefetch_frames, before.prefetch_frames);
}

TEST_F(cache_settings_dialog_test, ApplyClampsAndShowsWhatWasApplied)
{
    auto system = std::make_unique<lumvex::cache_system>(ram);
    script s([](CDialog& d) {
        EXPECT_EQ(d.GetDlgItemText(D::id_ram), "2048");
        EXPECT_EQ(d.GetDlgItemText(D::id_memory_quota), "512");
        EXPECT_FALSE(d.IsItemEnabled(D::id_apply));
        d.Type(D::id_memory_quota, "0.5");
        d.Type(D::id_disc_quota, "1");
        d.Type(D::id_prefetch, "0");
        EXPECT_TRUE(d.IsItemEnabled(D::id_apply));
        d.Click(D::id_apply);
        EXPECT_EQ(d.GetDlgItemText(D::id_memory_quota), "128"); // ram / 16
        EXPECT_EQ(d.GetDlgItemText(D::id_disc_quota), "16");
        EXPECT_EQ(d.GetDlgItemText(D::id_prefetch), "1");
        EXPECT_FALSE(d.IsItemEnabled(D::id_apply));
        // Far beyond 32 bits: clamped to the maximum, not wrapped.
        d.Type(D::id_memory_quota, "4194305");
        d.Click(D::id_apply);
        EXPECT_EQ(d.GetDlgItemText(D::id_memory_quota), "1920"); // ram - 128 MiB
        d.Type(D::id_prefetch, "5000");
        d.Click(IDOK);
    });
    {
        D dialog(*system, nullptr);
        EXPECT_EQ(dialog.DoModal(), IDOK);
    }
    EXPECT_EQ(system->settings().prefetch_frames, 1000);
    EXPECT_EQ(system->settings().memory_quota, ram - 128 * mib);
    // Stored: a new cache system reads the same.
    system.reset();
    lumvex::cache_system again(ram);
    EXPECT_EQ(again.settings().prefetch_frames, 1000);
    EXPECT_EQ(again.settings().disc_quota, 16 * mib);
}

// Folders on Linux run far beyond 260 characters. Changing only the memory
// quota leaves the disc cache where it is, and its folder is stored whole.
TEST_F(cache_settings_dialog_test, ALongDiscFolderIsKeptWholeWhenOnlyTheMemoryQuotaChanges)
{
    std::string deep = folder.file("cache");
    for (char c : { 'a', 'b', 'c' })
        deep += "/" + std::string(100, c);
    const scoped_environment long_cache_home("XDG_CACHE_HOME", deep);
    auto system = std::make_unique<lumvex::cache_system>(ram);
    const std::string root = system->settings().disc_root;
    ASSERT_GT(root.size(), 260u);
    production made;
    system->disc().put(entry_of(key_of(1, &made, true), 4, 3), lumvex::placement::back);
    ASSERT_EQ(system->settings().disc_count, 1);

    script s([](CDialog& d) {
        d.Type(D::id_memory_quota, "300");
        d.Click(IDOK);
    });
    {
        D dialog(*system, nullptr);
        EXPECT_EQ(dialog.DoModal(), IDOK);
    }
    EXPECT_EQ(system->settings().memory_quota, 300 * mib);
    EXPECT_EQ(system->settings().disc_root, root);
    EXPECT_EQ(system->settings().disc_count, 1);
    EXPECT_FALSE(fs::exists(root.substr(0, 260)));
    system.reset();
    lumvex::cache_system again(ram);
    EXPECT_EQ(again.settings().disc_root, root);
}

TEST_F(cache_settings_dialog_test, EditingFreezesTheFiguresUntilApplied)
{
    lumvex::cache_system system(ram);
    D dialog(system, nullptr);
    dialog.Create(nullptr);
    EXPECT_FALSE(dialog.modified());
    dialog.SetDlgItemText(D::id_memory_used, "stale");
    dialog.refresh();
    EXPECT_EQ(dialog.GetDlgItemText(D::id_memory_used), "0");
    dialog.Focus(D::id_disc_quota);
    EXPECT_TRUE(dialog.modified());
    dialog.SetDlgItemText(D::id_memory_used, "stale");
    dialog.refresh();
    EXPECT_EQ(dialog.GetDlgItemText(D::id_memory_used), "stale");
    dialog.Click(D::id_apply);
    EXPECT_EQ(dialog.GetDlgItemText(D::id_memory_used), "0");
    EXPECT_FALSE(dialog.modified());
}

TEST_F(cache_settings_dialog_test, TheFolderChooserNeverPicksAFolderOfOtherFiles)
{
    lumvex::cache_system system(ram);
    const std::string old_root = system.settings().disc_root;
    const fs::path busy = folder.path() / "busy";
    fs::create_directories(busy);
    touch(busy / "letter.doc");
    const fs::path fresh = folder.path() / "fresh";

    {
        script refused([&](CDialog& d) {
            d.Click(D::id_change_root);
            EXPECT_EQ(d.GetDlgItemText(D::id_disc_root), old_root);
            EXPECT_FALSE(d.IsItemEnabled(D::id_apply));
            d.Click(IDOK);
        });
        refused.choose_folder(busy.string());
        D dialog(system, nullptr);
        dialog.DoModal();
        EXPECT_EQ(script::shown().size(), 1u);
        EXPECT_EQ(system.settings().disc_root, old_root);
        EXPECT_TRUE(fs::exists(busy / "letter.doc"));
    }
    {
        // Chosen, then cancelled: nothing changes.
        script cancelled([&](CDialog& d) {
            d.Click(D::id_change_root);
            EXPECT_EQ(d.GetDlgItemText(D::id_disc_root), fresh.string() + "/");
            d.Click(IDCANCEL);
        });
        cancelled.choose_folder(fresh.string());
        D dialog(system, nullptr);
        dialog.DoModal();
        EXPECT_EQ(system.settings().disc_root, old_root);
    }
    {
        script taken([&](CDialog& d) {
            d.Click(D::id_change_root);
            d.Click(IDOK);
        });
        taken.choose_folder(fresh.string());
        D dialog(system, nullptr);
        EXPECT_EQ(dialog.DoModal(), IDOK);
        EXPECT_EQ(system.settings().disc_root, fresh.string() + "/");
        EXPECT_TRUE(fs::is_directory(fresh));
    }
}

TEST_F(cache_settings_dialog_test, AFolderNoFileCanBeWrittenInIsRefusedWhenChosenAndOnApply)
{
    auto system = std::make_unique<lumvex::cache_system>(ram);
    const std::string old_root = system->settings().disc_root;
    const fs::path blocker = folder.path() / "blocker";
    touch(blocker);
    // The dialog worked by `act`, the chooser giving `chosen`, ends as
    // `ends`, having shown the refusal once.
    const auto refused = [&](const fs::path& chosen, int ends, std::function<void(CDialog&)> act) {
        script user(std::move(act));
        user.choose_folder(chosen.string());
        D dialog(*system, nullptr);
        EXPECT_EQ(dialog.DoModal(), ends);
        ASSERT_EQ(script::shown().size(), 1u);
        EXPECT_EQ(script::shown()[0],
            "The disc cache cannot write to this folder. Please choose a folder where files can be written.");
    };
    refused(blocker / "cache", IDOK, [&](CDialog& d) {
        d.Click(D::id_change_root);
        EXPECT_EQ(d.GetDlgItemText(D::id_disc_root), old_root);
        EXPECT_FALSE(d.IsItemEnabled(D::id_apply));
        d.Click(IDOK);
    });
    EXPECT_EQ(system->settings().disc_root, old_root);

    // Fine when chosen, a file in its way by the time Apply is pressed:
    // refused then, and nothing applied.
    const fs::path later = folder.path() / "later";
    refused(later / "cache", IDCANCEL, [&](CDialog& d) {
        d.Click(D::id_change_root);
        d.Type(D::id_memory_quota, "300");
        touch(later);
        d.Click(IDOK);
        EXPECT_TRUE(d.IsItemEnabled(D::id_apply)) << "the dialog stays";
        d.Click(IDCANCEL);
    });
    EXPECT_EQ(system->settings().disc_root, old_root);
    EXPECT_NE(system->settings().memory_quota, 300 * mib);
    system.reset();
    lumvex::cache_system again(ram);
    EXPECT_EQ(again.settings().disc_root, old_root) << "nothing was stored";
    EXPECT_GT(again.settings().disc_quota, 0u) << "the disc cache works";
}

TEST_F(cache_settings_dialog_test, TheModelessDialogIsMadeOnceAndShownOrHidden)
{
    lumvex::dll library;
    library.modaless_configure_hide(); // nothing made yet
    library.modaless_configure_show(nullptr);
    library.modaless_configure_hide();
    library.modaless_configure_show(nullptr);
    bool ran = false;
    script s([&](CDialog& d) {
        ran = true;
        d.Click(IDCANCEL);
    });
    library.configure(nullptr);
    EXPECT_TRUE(ran);
}

} // namespace
