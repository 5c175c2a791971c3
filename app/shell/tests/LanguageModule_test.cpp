#include "app/shell/LanguageModule.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "app/shell/Profile.h"
#include "app/shell/tests/ShellFakes.h"
#include "widgets/core/Strings.h"

namespace {

namespace fs = std::filesystem;

// A folder of its own holding a program path and, on request, a copy of the
// tests' language module beside it under an extension.
class ModuleFolder {
public:
    ModuleFolder()
        : m_dir(fs::temp_directory_path() / ("tavelo_lang_" + std::to_string(::getpid())))
    {
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    ~ModuleFolder() { fs::remove_all(m_dir); }
    std::string Program() const { return (m_dir / "Tavelo").string(); }
    void Install(const std::string& extension) const
    {
        fs::copy_file(TAVELO_TEST_LANGUAGE_MODULE, m_dir / ("Tavelo." + extension));
    }
    void InstallJunk(const std::string& extension) const
    {
        std::ofstream(m_dir / ("Tavelo." + extension)) << "not a module";
    }

private:
    fs::path m_dir;
};

TEST(LanguageModule, StoredValuesOutOfRangeReadAsTheBuiltInTexts)
{
    test::MemoryProfile profile;
    for (int stored : { 5, -1, 3 }) {
        profile.ints["Preferences/Language"] = stored;
        LanguageModule module;
        module.Init("Preferences", "Language", "/nowhere/Tavelo");
        EXPECT_EQ(module.ReadSetting(), 0) << stored;
        EXPECT_FALSE(module.IsLoaded());
    }
    LanguageModule unnamed;
    profile.ints["/"] = 2;
    unnamed.Init("", "", "/nowhere/Tavelo");
    EXPECT_EQ(unnamed.ReadSetting(), 0);
}

TEST(LanguageModule, MissingOrForeignModuleLeavesTheBuiltInTexts)
{
    test::MemoryProfile profile;
    ModuleFolder folder;
    folder.InstallJunk("rus");
    profile.ints["Preferences/Language"] = 2;
    LanguageModule module;
    module.Init("Preferences", "Language", folder.Program());
    EXPECT_FALSE(module.IsLoaded());
    EXPECT_EQ(module.GetLoadedIndex(), 0);
    EXPECT_EQ(My::LoadString(50013), "Tavelo");
    profile.ints["Preferences/Language"] = 1;
    LanguageModule english;
    english.Init("Preferences", "Language", folder.Program());
    EXPECT_FALSE(english.IsLoaded());
}

TEST(LanguageModule, LoadedModuleTranslatesAndMissingEntriesFallBack)
{
    test::MemoryProfile profile;
    ModuleFolder folder;
    folder.Install("rus");
    profile.ints["Preferences/Language"] = 2;
    {
        LanguageModule module;
        module.Init("Preferences", "Language", folder.Program());
        ASSERT_TRUE(module.IsLoaded());
        EXPECT_EQ(module.GetLoadedIndex(), 2);
        EXPECT_EQ(module.GetModulePath(2), folder.Program() + ".rus");
        // The module's own entries.
        EXPECT_EQ(My::LoadString(50013), "Tavelo (test)");
        EXPECT_EQ(My::LoadString(50001), "Projekt offnen");
        // The shell's and the toolkit's built-in entries.
        EXPECT_EQ(My::LoadString(20002), "Russian");
        EXPECT_EQ(My::LoadString(50011), "opening project");
        EXPECT_EQ(My::LoadString(1), "");
        module.Unload();
        EXPECT_EQ(My::LoadString(50013), "Tavelo");
    }
    // The module gone, the built-in texts are back in force.
    EXPECT_EQ(My::LoadString(50001), "Open Project");
}

TEST(LanguageModule, ModuleNamedAfterTheProgramWithItsExtensionReplaced)
{
    LanguageModule module;
    module.Init("", "", "/opt/tavelo/Tavelo.bin");
    EXPECT_EQ(module.GetModulePath(1), "/opt/tavelo/Tavelo.enu");
    EXPECT_EQ(module.GetModulePath(2), "/opt/tavelo/Tavelo.rus");
    EXPECT_EQ(module.GetModulePath(0), "");
    EXPECT_EQ(module.GetModulePath(7), "");
}

// The settings store of a new user: a fresh folder.
class FreshSettings : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* old = std::getenv("XDG_CONFIG_HOME");
        m_old = old ? old : "";
        m_hadOld = old != nullptr;
        m_dir = fs::temp_directory_path() / ("tavelo_settings_" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        setenv("XDG_CONFIG_HOME", m_dir.c_str(), 1);
    }
    void TearDown() override
    {
        if (m_hadOld)
            setenv("XDG_CONFIG_HOME", m_old.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
        fs::remove_all(m_dir);
    }
    fs::path m_dir;
    std::string m_old;
    bool m_hadOld = false;
};

TEST_F(FreshSettings, NewUserGetsTheDefaults)
{
    RegistryProfile profile("Norvane", "Tavelo");
    EXPECT_EQ(profile.GetInt("Preferences", "Language", 0), 0);
    EXPECT_EQ(profile.GetInt("Layout", "RightBarSize", 200), 200);
    EXPECT_EQ(profile.GetInt("Layout", "StatusBar", 1), 1);
    EXPECT_EQ(profile.GetString("Recent File List", "File1", ""), "");
    EXPECT_TRUE(profile.WriteInt("Layout", "RightBarSize", 240));
    RegistryProfile again("Norvane", "Tavelo");
    EXPECT_EQ(again.GetInt("Layout", "RightBarSize", 200), 240);
}

TEST_F(FreshSettings, StoreThatCannotBeWrittenIsReportedOnce)
{
    // The settings folder is a file: nothing can be stored below it.
    fs::remove_all(m_dir);
    std::ofstream(m_dir.string()) << "x";
    test::RecordingPrompt prompt;
    RegistryProfile profile("Norvane", "Tavelo");
    EXPECT_EQ(profile.GetInt("Layout", "BottomBarSize", 200), 200);
    EXPECT_FALSE(profile.WriteInt("Layout", "BottomBarSize", 150));
    EXPECT_FALSE(profile.WriteString("Recent File List", "File1", "/clips/walk.tvp"));
    EXPECT_TRUE(profile.HasFailed());
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0], My::LoadString(50090));
    fs::remove(m_dir);
}

} // namespace
