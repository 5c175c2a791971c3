#include "foundation/system/regprofile.h"

#include "platform/kernel/system_error.h"
#include "platform/tests/scoped_environment.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace {

using platform::registry_root;

const char lumvex_key[] = "Software\\Norvane\\lumvex";

// Points the settings store at a fresh folder, so that no test touches the
// user's own settings.
class regprofile_store : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string name = (std::filesystem::temp_directory_path() / "regprofile_test_XXXXXX").string();
        ASSERT_NE(mkdtemp(name.data()), nullptr);
        m_root = name;
        m_config.emplace("XDG_CONFIG_HOME", m_root.string());
    }
    void TearDown() override
    {
        m_config.reset();
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }

    // The raw stored value, as the store keeps it.
    static platform::registry_value stored(const std::string& name)
    {
        platform::registry_key raw;
        EXPECT_EQ(raw.open(registry_root::current_user, lumvex_key, false), 0);
        platform::registry_value value;
        EXPECT_EQ(raw.query(name, value), 0);
        return value;
    }
    static void store(const std::string& name, const platform::registry_value& value)
    {
        platform::registry_key raw;
        ASSERT_EQ(raw.open(registry_root::current_user, lumvex_key, true), 0);
        ASSERT_EQ(raw.set(name, value), 0);
    }

    std::filesystem::path m_root;
    std::optional<platform::testing::scoped_environment> m_config;
};

template <class E, class F> std::string message_of(F f)
{
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    return "(nothing raised)";
}

const std::string no_such_file = platform::system_error_text(ENOENT);

TEST_F(regprofile_store, MissingKeyRaisesUnlessQuiet)
{
    EXPECT_EQ(message_of<regprofile::not_found>(
                  [] { regprofile::key key(registry_root::current_user, lumvex_key, false, false); }),
        std::string("registry key 'Software\\Norvane\\lumvex' opening error:\n") + no_such_file);

    regprofile::key quiet(registry_root::current_user, lumvex_key, false, true);
    EXPECT_FALSE(quiet.is_open());
    // A closed key fails every operation with a plain error.
    EXPECT_THROW(quiet.read_integer("mem_cache_quota"), regprofile::error);
    EXPECT_THROW(quiet.write_dword("mem_cache_quota", 1), regprofile::error);
}

TEST_F(regprofile_store, MissingValueOrSubKeyIsNotFound)
{
    regprofile::key key(registry_root::current_user, lumvex_key, true, false);
    EXPECT_EQ(message_of<regprofile::not_found>([&] { key.read_string("absent"); }),
        "querying size and type of registry value 'absent' error:\n" + no_such_file);
    EXPECT_EQ(message_of<regprofile::not_found>([&] { key.read_integer("a\\b\\v"); }),
        "registry key 'a\\b\\' opening error:\n" + no_such_file);
}

TEST_F(regprofile_store, WrongTypesAreIncompatible)
{
    regprofile::key key(registry_root::current_user, lumvex_key, true, false);
    key.write_string("text", "x");
    key.write_dword("number", 1);
    EXPECT_EQ(message_of<regprofile::incompatible_type>([&] { key.read_string("number"); }),
        "registry value 'number' is not string");
    EXPECT_EQ(message_of<regprofile::incompatible_type>([&] { key.read_integer("text"); }),
        "Registry value 'text' is not 32- or 64-bit integer");
    std::vector<unsigned char> bytes;
    EXPECT_EQ(message_of<regprofile::incompatible_type>([&] { key.read_binary("text", bytes); }),
        "registry value 'text' is not binary");
    EXPECT_THROW(key.read_integer("text"), regprofile::parse_error);

    // Integers of another size than their type's.
    store("short", { platform::registry_type::dword, { 1, 2, 3 } });
    store("long", { platform::registry_type::qword, { 1, 2, 3, 4, 5, 6, 7, 8, 9 } });
    EXPECT_THROW(key.read_integer("short"), regprofile::incompatible_type);
    EXPECT_THROW(key.read_integer("long"), regprofile::incompatible_type);
}

TEST_F(regprofile_store, IntegersKeepTheirWidth)
{
    regprofile::key key(registry_root::current_user, lumvex_key, true, false);
    key.write_dword("d", 0xFFFFFFFFu);
    key.set_qword("q", 0x8000000000000005u);
    key.set_qword("big", 5ull * 1024 * 1024 * 1024);
    EXPECT_EQ(key.read_integer("d"), -1);
    EXPECT_EQ(key.read_integer("q"), static_cast<std::int64_t>(0x8000000000000005u));
    EXPECT_EQ(key.read_integer("big"), 5ll * 1024 * 1024 * 1024);
    EXPECT_EQ(stored("d").data.size(), 4u);
    EXPECT_EQ(stored("big").data.size(), 8u);
}

TEST_F(regprofile_store, StringsAndBinaryRoundTrip)
{
    {
        regprofile::key key(registry_root::current_user, lumvex_key, true, false);
        key.write_string("format", "bmp");
        key.write_string("empty", "");
        key.write_binary("state", { 1, 0, 255 });
        key.write_binary("nothing", {});
        key.write_dword("codec\\xvid\\state", 7);
    }
    EXPECT_EQ(stored("format").data.size(), 4u);
    EXPECT_EQ(stored("nothing").data.size(), 0u);

    // A new key object reads what the last one wrote, as after a restart.
    regprofile::key key(registry_root::current_user, lumvex_key, false, false);
    EXPECT_EQ(key.read_string("format"), "bmp");
    EXPECT_EQ(key.read_string("empty"), "");
    std::vector<unsigned char> bytes { 9 };
    key.read_binary("state", bytes);
    EXPECT_EQ(bytes, (std::vector<unsigned char> { 1, 0, 255 }));
    key.read_binary("nothing", bytes);
    EXPECT_TRUE(bytes.empty());
    EXPECT_EQ(key.read_integer("codec\\xvid\\state"), 7);
}

TEST_F(regprofile_store, StringsWithoutTerminatorKeepEveryCharacter)
{
    store("raw", { platform::registry_type::sz, { 'a', 'b', 'c' } });
    store("blank", { platform::registry_type::sz, {} });
    regprofile::key key(registry_root::current_user, lumvex_key, false, false);
    EXPECT_EQ(key.read_string("raw"), "abc");
    EXPECT_EQ(key.read_string("blank"), "");
}

TEST(regprofile_raise, CodesChooseTheErrorClass)
{
    EXPECT_NO_THROW(regprofile::raise(0, "nothing"));
    EXPECT_THROW(regprofile::raise(ENOENT, "m"), regprofile::not_found);
    EXPECT_THROW(regprofile::raise(EACCES, "m"), regprofile::access_denied);
    EXPECT_THROW(regprofile::raise(EPERM, "m"), regprofile::access_denied);
    EXPECT_EQ(message_of<regprofile::error>([] { regprofile::raise(ENOSPC, ""); }),
        platform::system_error_text(ENOSPC));
    try {
        regprofile::raise(EIO, "writing");
    } catch (const regprofile::not_found&) {
        FAIL() << "EIO is no missing value";
    } catch (const regprofile::error& e) {
        EXPECT_EQ(std::string(e.what()), "writing:\n" + platform::system_error_text(EIO));
    }
}

} // namespace
