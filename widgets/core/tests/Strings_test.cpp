#include "widgets/core/Strings.h"

#include <gtest/gtest.h>

#include <map>

namespace {

struct Satellite : My::StringSource {
    std::map<std::uint32_t, std::string> texts;
    bool Find(std::uint32_t id, std::string& text) const override
    {
        auto it = texts.find(id);
        if (it == texts.end())
            return false;
        text = it->second;
        return true;
    }
};

} // namespace

TEST(Strings, MissingEntryIsEmpty)
{
    EXPECT_EQ(My::LoadString(1), "");
    EXPECT_EQ(My::LoadString(0xFFFFFFFFu), "");
}

TEST(Strings, SatelliteFormatIsSubstitutedLiterally)
{
    Satellite satellite;
    satellite.texts[50012] = "%d %n %s%s 100%% \tCtrl+Z";
    const My::StringSource* previous = My::SetStringSource(&satellite);
    const std::string format = My::LoadString(50012);
    My::SetStringSource(previous);
    // Only the first %s is replaced; %d and %n stay text, and the name's own
    // percent signs are not interpreted.
    EXPECT_EQ(My::FormatString(format, "50% %s"), "%d %n 50% %s%s 100% \tCtrl+Z");
    EXPECT_EQ(My::FormatString("trailing %", "x"), "trailing %");
}

TEST(Strings, SatelliteReplacesBuiltInAndFallsBackForMissingEntries)
{
    EXPECT_EQ(My::LoadString(50012), "Undo %s\tCtrl+Z");
    Satellite satellite;
    satellite.texts[50012] = "Rueckgaengig %s";
    const My::StringSource* previous = My::SetStringSource(&satellite);
    EXPECT_EQ(My::LoadString(50012), "Rueckgaengig %s");
    EXPECT_EQ(My::LoadString(50009), "Redo %s\tCtrl+Shift+Z");
    My::SetStringSource(previous);
    EXPECT_EQ(My::LoadString(50012), "Undo %s\tCtrl+Z");
}
