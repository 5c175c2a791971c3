#include "platform/registry/profile.h"
#include "platform/registry/registry.h"
#include "platform/registry/value_file.h"

#include "platform/tests/fsync_stand_in.h"
#include "platform/tests/scoped_environment.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using platform::registry_key;
using platform::registry_root;
using platform::registry_type;
using platform::registry_value;

// Points the store at a fresh folder for the test, so that no test touches
// the user's own settings.
class registry_store : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string name = (std::filesystem::temp_directory_path() / "registry_test_XXXXXX").string();
        ASSERT_NE(mkdtemp(name.data()), nullptr);
        m_root = name;
        m_config.emplace("XDG_CONFIG_HOME", (m_root / "config").string());
    }
    void TearDown() override
    {
        m_config.reset();
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }

    std::filesystem::path config() const { return m_root / "config"; }

    static std::string read_bytes(const std::filesystem::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::filesystem::path m_root;
    std::optional<platform::testing::scoped_environment> m_config;
};

registry_value text_value(const std::string& text)
{
    registry_value value { registry_type::sz, std::vector<unsigned char>(text.begin(), text.end()) };
    value.data.push_back(0);
    return value;
}

registry_value dword_value(std::uint32_t n)
{
    return { registry_type::dword,
        { static_cast<unsigned char>(n), static_cast<unsigned char>(n >> 8),
            static_cast<unsigned char>(n >> 16), static_cast<unsigned char>(n >> 24) } };
}

TEST_F(registry_store, MissingKeyOpensOnlyWhenCreated)
{
    registry_key key;
    EXPECT_EQ(key.open(registry_root::current_user, "Software\\Norvane\\lumvex", false), ENOENT);
    EXPECT_FALSE(key.is_open());
    ASSERT_EQ(key.open(registry_root::current_user, "Software\\Norvane\\lumvex", true), 0);
    EXPECT_EQ(key.folder(), (config() / "Norvane" / "lumvex").string() + "/");
    EXPECT_TRUE(std::filesystem::is_directory(config() / "Norvane" / "lumvex"));

    registry_key again;
    EXPECT_EQ(again.open(registry_root::current_user, "Software\\Norvane\\lumvex", false), 0);
}

TEST_F(registry_store, ClosedKeyAndMissingValueAreErrors)
{
    registry_key closed;
    registry_value value;
    EXPECT_EQ(closed.query("x", value), EBADF);
    EXPECT_EQ(closed.set("x", dword_value(1)), EBADF);
    registry_key sub;
    EXPECT_EQ(sub.open(closed, "a", true), EBADF);

    registry_key key;
    ASSERT_EQ(key.open(registry_root::current_user, "Software\\T", true), 0);
    EXPECT_EQ(key.query("x", value), ENOENT);
}

TEST_F(registry_store, KeyPartsCannotLeaveTheStore)
{
    registry_key key;
    ASSERT_EQ(key.open(registry_root::current_user, "Software\\..\\..\\x/y\\.values", true), 0);
    EXPECT_EQ(key.folder().rfind(config().string() + "/", 0), 0u) << key.folder();
    EXPECT_EQ(key.folder(), config().string() + "/%2E./%2E./x%2Fy/%2Evalues/");
}

TEST_F(registry_store, FileStandingForAKeyIsAMissingKey)
{
    std::filesystem::create_directories(config() / "N");
    std::ofstream(config() / "N" / "file") << "x";
    registry_key key;
    EXPECT_EQ(key.open(registry_root::current_user, "Software\\N\\file", false), ENOENT);
    EXPECT_EQ(key.open(registry_root::current_user, "Software\\N\\file\\deeper", false), ENOENT);
}

TEST_F(registry_store, ValuesSurviveReopening)
{
    const registry_value odd_size { registry_type::dword, { 1, 2, 3 } };
    const registry_value no_terminator { registry_type::sz, { 'a', 'b' } };
    const registry_value other_type { static_cast<registry_type>(7), { 'x', 0, 'y', 0, 0 } };
    const registry_value binary { registry_type::binary, { 0, 255, 10, 9 } };
    const registry_value empty_binary { registry_type::binary, {} };
    const registry_value qword { registry_type::qword, { 1, 2, 3, 4, 5, 6, 7, 0xFF } };
    const registry_value awkward_text = text_value("tab\there\nnew line %41 #hash \x7f end");
    {
        registry_key key;
        ASSERT_EQ(key.open(registry_root::current_user, "Software\\Norvane\\lumvex", true), 0);
        ASSERT_EQ(key.set("odd", odd_size), 0);
        ASSERT_EQ(key.set("raw", no_terminator), 0);
        ASSERT_EQ(key.set("multi", other_type), 0);
        ASSERT_EQ(key.set("bin", binary), 0);
        ASSERT_EQ(key.set("empty", empty_binary), 0);
        ASSERT_EQ(key.set("q", qword), 0);
        ASSERT_EQ(key.set("", awkward_text), 0);
        ASSERT_EQ(key.set("name\twith\nbreaks", dword_value(0xFFFFFFFF)), 0);
        ASSERT_EQ(key.set("q", qword), 0);
    }
    registry_key key;
    ASSERT_EQ(key.open(registry_root::current_user, "Software\\Norvane\\lumvex", false), 0);
    registry_value value;
    ASSERT_EQ(key.query("odd", value), 0);
    EXPECT_EQ(value, odd_size);
    ASSERT_EQ(key.query("raw", value), 0);
    EXPECT_EQ(value, no_terminator);
    ASSERT_EQ(key.query("multi", value), 0);
    EXPECT_EQ(value, other_type);
    ASSERT_EQ(key.query("bin", value), 0);
    EXPECT_EQ(value, binary);
    ASSERT_EQ(key.query("empty", value), 0);
    EXPECT_EQ(value, empty_binary);
    ASSERT_EQ(key.query("q", value), 0);
    EXPECT_EQ(value, qword);
    ASSERT_EQ(key.query("", value), 0);
    EXPECT_EQ(value, awkward_text);
    ASSERT_EQ(key.query("name\twith\nbreaks", value), 0);
    EXPECT_EQ(value, dword_value(0xFFFFFFFF));
    EXPECT_EQ(key.query("Q", value), ENOENT);

    // Only the values file and the lock file remain: no temporary file.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(key.folder()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string> { ".lock", ".values" }));
}

TEST_F(registry_store, CorruptFileReadsAsEmptyAndIsKeptAside)
{
    registry_key key;
    ASSERT_EQ(key.open(registry_root::current_user, "Software\\K", true), 0);
    ASSERT_EQ(key.set("a", dword_value(1)), 0);
    const std::filesystem::path values = std::filesystem::path(key.folder()) / ".values";
    const std::string garbage = "Tavelo settings 1\na\tdword\tnot a number\n";
    std::ofstream(values, std::ios::binary | std::ios::trunc) << garbage;

    registry_value value;
    EXPECT_EQ(key.query("a", value), ENOENT);
    ASSERT_EQ(key.set("b", dword_value(2)), 0);
    EXPECT_EQ(read_bytes(std::filesystem::path(key.folder()) / ".values.corrupt"), garbage);
    EXPECT_EQ(key.query("a", value), ENOENT);
    ASSERT_EQ(key.query("b", value), 0);
    EXPECT_EQ(value, dword_value(2));

    std::ofstream(values, std::ios::binary | std::ios::trunc) << "second";
    ASSERT_EQ(key.set("c", dword_value(3)), 0);
    EXPECT_EQ(read_bytes(std::filesystem::path(key.folder()) / ".values.corrupt"), garbage);
    EXPECT_EQ(read_bytes(std::filesystem::path(key.folder()) / ".values.corrupt.1"), "second");
}

TEST_F(registry_store, OversizedFileReadsAsEmpty)
{
    registry_key key;
    ASSERT_EQ(key.open(registry_root::current_user, "Software\\K", true), 0);
    const std::filesystem::path values = std::filesystem::path(key.folder()) / ".values";
    {
        std::ofstream out(values, std::ios::binary);
        out << "Tavelo settings 1\n";
        out.seekp(static_cast<std::streamoff>(platform::detail::max_value_file) + 10);
        out << "\n";
    }
    registry_value value;
    EXPECT_EQ(key.query("a", value), ENOENT);
    ASSERT_EQ(key.set("a", dword_value(5)), 0);
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(key.folder()) / ".values.corrupt"));
    ASSERT_EQ(key.query("a", value), 0);
}

// The store never writes a file it would not read back: a change that would
// pass the reading limit is refused, and every value stored before reads
// back as it was.
TEST_F(registry_store, ChangeBeyondTheReadingLimitIsRefusedAndKeepsTheValues)
{
    registry_key key;
    ASSERT_EQ(key.open(registry_root::current_user, "Software\\K", true), 0);
    const std::size_t quarter = platform::detail::max_value_file / 4;
    // Binary values take two characters a byte: 10 MiB of text.
    const registry_value large { registry_type::binary,
        std::vector<unsigned char>(quarter + quarter / 4, 0xA5) };
    ASSERT_EQ(key.set("large", large), 0);
    ASSERT_EQ(key.set("small", dword_value(7)), 0);
    const std::string before = read_bytes(std::filesystem::path(key.folder()) / ".values");

    const registry_value more { registry_type::binary, std::vector<unsigned char>(quarter, 0x5A) };
    EXPECT_EQ(key.set("more", more), EFBIG);
    const registry_value text = text_value(std::string(2 * quarter, 'x'));
    EXPECT_EQ(key.set("small", text), EFBIG);

    EXPECT_EQ(read_bytes(std::filesystem::path(key.folder()) / ".values"), before);
    registry_value value;
    ASSERT_EQ(key.query("large", value), 0);
    EXPECT_EQ(value, large);
    ASSERT_EQ(key.query("small", value), 0);
    EXPECT_EQ(value, dword_value(7));
    EXPECT_EQ(key.query("more", value), ENOENT);
    // Room is made by replacing the large value with a smaller one.
    ASSERT_EQ(key.set("large", dword_value(1)), 0);
    ASSERT_EQ(key.set("more", more), 0);
    ASSERT_EQ(key.query("more", value), 0);
    EXPECT_EQ(value, more);
}

TEST_F(registry_store, ChangeThatCannotReachTheDiscIsRefusedAndKeepsTheValues)
{
    registry_key key;
    ASSERT_EQ(key.open(registry_root::current_user, "Software\\T", true), 0);
    ASSERT_EQ(key.set("kept", dword_value(1)), 0);
    for (const int error : { EIO, ENOSPC, EDQUOT }) {
        {
            platform::testing::failing_file_syncs failing(error);
            EXPECT_EQ(key.set("kept", dword_value(2)), error);
        }
        registry_value value;
        ASSERT_EQ(key.query("kept", value), 0);
        EXPECT_EQ(value, dword_value(1));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(key.folder()),
                      std::filesystem::directory_iterator()),
            2)
            << "a temporary file was left";
    }
}

// Some network and FUSE mounts have no flush at all; settings kept there
// must still change.
TEST_F(registry_store, FileSystemWithoutFlushStillTakesChanges)
{
    registry_key key;
    ASSERT_EQ(key.open(registry_root::current_user, "Software\\T", true), 0);
    std::uint32_t n = 0;
    for (const int error : { EINVAL, ENOTSUP, EOPNOTSUPP }) {
        {
            platform::testing::failing_file_syncs failing(error);
            EXPECT_EQ(key.set("changed", dword_value(++n)), 0) << std::strerror(error);
        }
        registry_value value;
        ASSERT_EQ(key.query("changed", value), 0);
        EXPECT_EQ(value, dword_value(n));
    }
}

TEST_F(registry_store, RefusedFolderIsReported)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the super-user";
    registry_key key;
    ASSERT_EQ(key.open(registry_root::current_user, "Software\\K", true), 0);
    std::filesystem::permissions(
        key.folder(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_EQ(key.set("a", dword_value(1)), EACCES);
    std::filesystem::permissions(key.folder(), std::filesystem::perms::owner_all);
}

// Each writer stores its own values, all in one key at the same time; the
// lock and the re-read under it keep every writer's values.
void write_many(const std::string& prefix, int count)
{
    registry_key key;
    if (key.open(registry_root::current_user, "Software\\Norvane\\shared", true) != 0)
        throw std::runtime_error("cannot open the key");
    for (int i = 0; i < count; ++i) {
        if (key.set(prefix + std::to_string(i), dword_value(static_cast<std::uint32_t>(i * 7 + 1))) != 0)
            throw std::runtime_error("cannot write");
    }
}

void expect_all_written(const std::vector<std::string>& prefixes, int count)
{
    registry_key key;
    ASSERT_EQ(key.open(registry_root::current_user, "Software\\Norvane\\shared", false), 0);
    int missing = 0;
    for (const std::string& prefix : prefixes) {
        for (int i = 0; i < count; ++i) {
            registry_value value;
            if (key.query(prefix + std::to_string(i), value) != 0
                || !(value == dword_value(static_cast<std::uint32_t>(i * 7 + 1))))
                ++missing;
        }
    }
    EXPECT_EQ(missing, 0);
}

TEST_F(registry_store, TwoProcessesWritingAtOnceLoseNoValue)
{
    constexpr int per_process = 500;
    std::vector<pid_t> children;
    for (const char* prefix : { "first", "second" }) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            int status = 0;
            try {
                write_many(prefix, per_process);
            } catch (...) {
                status = 1;
            }
            _exit(status);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    expect_all_written({ "first", "second" }, per_process);
}

TEST_F(registry_store, ThreadsWritingAtOnceLoseNoValue)
{
    constexpr int per_thread = 60;
    const std::vector<std::string> prefixes { "a", "b", "c", "d" };
    std::vector<std::thread> threads;
    for (const std::string& prefix : prefixes)
        threads.emplace_back([prefix] { write_many(prefix, per_thread); });
    for (std::thread& t : threads)
        t.join();
    expect_all_written(prefixes, per_thread);
}

TEST_F(registry_store, ProfileGivesDefaultsAndKeepsValues)
{
    platform::registry_profile profile("Norvane", "Tavelo");
    EXPECT_EQ(profile.get_int("Preferences", "Language", 7), 7u);
    EXPECT_EQ(profile.get_string("Display", "Type", "none"), "none");

    ASSERT_TRUE(profile.write_int("Preferences", "Language", 2));
    ASSERT_TRUE(profile.write_string("Display", "Type", "mask"));
    ASSERT_TRUE(profile.write_int("Time", "Loop", -1));

    platform::registry_profile later("Norvane", "Tavelo");
    EXPECT_EQ(later.get_int("Preferences", "Language", 0), 2u);
    EXPECT_EQ(later.get_string("Display", "Type", ""), "mask");
    EXPECT_EQ(later.get_int("Time", "Loop", 0), 0xFFFFFFFFu);
    // A value of another type reads as the default.
    EXPECT_EQ(later.get_int("Display", "Type", 9), 9u);
    EXPECT_EQ(later.get_string("Preferences", "Language", "d"), "d");
    EXPECT_TRUE(std::filesystem::is_directory(config() / "Norvane" / "Tavelo" / "Preferences"));
}

TEST(registry_value_file, MalformedTextsAreRefused)
{
    platform::detail::value_map values;
    for (const char* text : {
             "",
             "Tavelo settings 1",
             "Tavelo settings 2\n",
             "Tavelo settings 1\nname\tsz\n",
             "Tavelo settings 1\nname\tsz\ttext",
             "Tavelo settings 1\nname\tword\ttext\n",
             "Tavelo settings 1\nname\t4\t1\n",
             "Tavelo settings 1\nname\tdword\t4294967296\n",
             "Tavelo settings 1\nname\tdword\t01\n",
             "Tavelo settings 1\nname\tdword\t-1\n",
             "Tavelo settings 1\nname\tbinary\tABC\n",
             "Tavelo settings 1\nname\tsz\t%4\n",
             "Tavelo settings 1\nname\tsz\t%ZZ\n",
             "Tavelo settings 1\nna%me\tsz\tx\n",
             "Tavelo settings 1\nname\tsz\tx\nname\tsz\ty\n",
         }) {
        EXPECT_FALSE(platform::detail::parse_values(text, values)) << text;
    }
    ASSERT_TRUE(platform::detail::parse_values("Tavelo settings 1\n", values));
    EXPECT_TRUE(values.empty());
}

TEST(registry_value_file, FormIsReadable)
{
    platform::detail::value_map values;
    values["mem_cache_quota"] = dword_value(1024);
    values["disc_cache_root_path"] = text_value("/tmp/x y");
    values["bin"] = { registry_type::binary, { 0xAB, 0x01 } };
    EXPECT_EQ(platform::detail::format_values(values),
        "Tavelo settings 1\nbin\tbinary\tAB01\ndisc_cache_root_path\tsz\t/tmp/x "
        "y\nmem_cache_quota\tdword\t1024\n");
}

} // namespace
