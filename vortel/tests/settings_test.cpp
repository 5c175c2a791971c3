#include "vortel/settings.h"

#include "foundation/system/regprofile.h"
#include "lumvex/tests/exported_symbols.h"
#include "platform/video/avi_file.h"
#include "vortel/tests/support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <regex>
#include <set>

namespace {

using namespace vortel_test;
using platform::mmioFOURCC;

class RenderSettings : public ::testing::Test {
protected:
    regprofile::key store()
    {
        return regprofile::key(platform::registry_root::current_user, vortel::settings_key, true, false);
    }

    // A 64-bit value, which the settings layer reads but never writes.
    void write_qword(const std::string& name, std::uint64_t value)
    {
        platform::registry_key key;
        ASSERT_EQ(key.open(platform::registry_root::current_user, vortel::settings_key, true), 0);
        platform::registry_value v { platform::registry_type::qword, std::vector<unsigned char>(8) };
        for (int i = 0; i < 8; ++i)
            v.data[std::size_t(i)] = static_cast<unsigned char>(value >> (8 * i));
        ASSERT_EQ(key.set(name, v), 0);
    }

    std::vector<unsigned char> state_of(const vortel::settings& s)
    {
        std::vector<unsigned char> state;
        s.encoder.get_state(state);
        return state;
    }

    scratch_folder m_folder;
    scoped_settings_store m_store { m_folder };
};

TEST_F(RenderSettings, WithoutAStoredKeyTheDefaultsHold)
{
    vortel::settings s(true);
    EXPECT_EQ(s.format, "bmp");
    EXPECT_FALSE(s.alpha);
    EXPECT_EQ(s.field, 0);
    EXPECT_FALSE(s.encoder.is_open());
    EXPECT_EQ(s.encoder_info.code_text(), "");
}

TEST_F(RenderSettings, WrongTypedValuesTakeTheirDefaults)
{
    auto key = store();
    key.write_dword("format", 7);
    key.write_string("alpha", "yes");
    key.write_binary("field", { 1 });
    key.write_dword("encoder", 1);
    vortel::settings s;
    s.format = "png";
    s.alpha = true;
    s.field = 2;
    s.read_registry();
    EXPECT_EQ(s.format, "bmp");
    EXPECT_FALSE(s.alpha);
    EXPECT_EQ(s.field, 0);
    EXPECT_FALSE(s.encoder.is_open());
}

TEST_F(RenderSettings, UninstalledCompressorLeavesNoneChosen)
{
    auto key = store();
    key.write_string("encoder", "QQQQ");
    vortel::settings s;
    s.encoder.open_code(s.encoder_info, mmioFOURCC('M', 'J', 'P', 'G'));
    EXPECT_NO_THROW(s.read_registry());
    EXPECT_FALSE(s.encoder.is_open());
    EXPECT_EQ(s.encoder_info.code_text(), "");
}

TEST_F(RenderSettings, TwoLetterCodeIsPaddedWithZeroBytes)
{
    auto key = store();
    key.write_string("encoder", "MJ");
    key.write_binary("MJ\\state", { 1, 2, 3 });
    vortel::settings s(true);
    // No compressor has the code "MJ\0\0": none is chosen, and nothing throws.
    EXPECT_FALSE(s.encoder.is_open());
}

TEST_F(RenderSettings, RefusedStoredStateKeepsTheOpeningState)
{
    auto key = store();
    key.write_string("encoder", "MJPG");
    key.write_binary("MJPG\\state", { 'T', 'V', 'C', 'S', 9, 0, 0, 0 });
    vortel::settings s(true);
    ASSERT_TRUE(s.encoder.is_open());
    vortel::settings fresh;
    fresh.encoder.open_code(fresh.encoder_info, mmioFOURCC('M', 'J', 'P', 'G'));
    EXPECT_EQ(state_of(s), state_of(fresh));
    key.write_string("MJPG\\state", "text");
    EXPECT_NO_THROW(s.read_registry());
    EXPECT_TRUE(s.encoder.is_open());
}

TEST_F(RenderSettings, FieldOutsideZeroToTwoReadsAsOff)
{
    auto key = store();
    for (std::int64_t stored : { 3, -1 }) {
        key.write_dword("field", std::uint32_t(stored));
        vortel::settings s(true);
        EXPECT_EQ(s.field, 0) << stored;
    }
    write_qword("field", 0x100000002ull);
    EXPECT_EQ(vortel::settings(true).field, 2);
}

TEST_F(RenderSettings, StoredFormatOutsideTheSevenReadsAsTheDefault)
{
    auto key = store();
    for (const std::string stored : { "xyz", "", "jpg", "t", "png ", "bmp.png" }) {
        key.write_string("format", stored);
        EXPECT_EQ(vortel::settings(true).format, "bmp") << '"' << stored << '"';
    }
    for (const std::string stored : { "avi", "gif", "jpeg", "png", "tga", "tiff" }) {
        key.write_string("format", stored);
        EXPECT_EQ(vortel::settings(true).format, stored);
    }
    // Written by hand in capitals: the format it names, as the dialog
    // stores it.
    key.write_string("format", "TIFF");
    EXPECT_EQ(vortel::settings(true).format, "tiff");
}

TEST_F(RenderSettings, AlphaIsAnyNonZeroInteger)
{
    auto key = store();
    write_qword("alpha", 0x100000000ull);
    EXPECT_TRUE(vortel::settings(true).alpha);
    key.write_dword("alpha", 0);
    EXPECT_FALSE(vortel::settings(true).alpha);
}

TEST_F(RenderSettings, WrittenSettingsReadBack)
{
    vortel::settings s;
    s.format = "tiff";
    s.alpha = true;
    s.field = 2;
    s.encoder.open_code(s.encoder_info, mmioFOURCC('F', 'M', 'P', '4'));
    auto state = state_of(s);
    state[8] = 0x40; // quality 8000
    state[9] = 0x1F;
    s.encoder.set_state(state);
    s.write_registry();

    auto key = store();
    EXPECT_EQ(key.read_string("format"), "tiff");
    EXPECT_EQ(key.read_integer("alpha"), 1);
    EXPECT_EQ(key.read_integer("field"), 2);
    EXPECT_EQ(key.read_string("encoder"), "FMP4");
    std::vector<unsigned char> stored;
    key.read_binary("FMP4\\state", stored);
    EXPECT_EQ(stored, state);

    vortel::settings back(true);
    EXPECT_EQ(back.format, "tiff");
    EXPECT_TRUE(back.alpha);
    EXPECT_EQ(back.field, 2);
    ASSERT_TRUE(back.encoder.is_open());
    EXPECT_EQ(back.encoder.info(), &back.encoder_info);
    EXPECT_EQ(back.encoder_info.code_text(), "FMP4");
    EXPECT_EQ(state_of(back), state);
}

TEST_F(RenderSettings, WritingWithoutACompressorKeepsTheStoredOne)
{
    auto key = store();
    key.write_string("encoder", "HFYU");
    vortel::settings s;
    s.write_registry();
    EXPECT_EQ(key.read_string("encoder"), "HFYU");
    EXPECT_EQ(key.read_string("format"), "bmp");
}

TEST_F(RenderSettings, EncoderStateIsReadForAnOpenCoder)
{
    vortel::settings s;
    s.encoder.open_code(s.encoder_info, mmioFOURCC('M', 'J', 'P', 'G'));
    auto state = state_of(s);
    state[12] = 50; // key-frame interval
    store().write_binary("MJPG\\state", state);
    img::avi::coder_info info;
    img::avi::coder c;
    c.open_code(info, mmioFOURCC('M', 'J', 'P', 'G'));
    vortel::settings::read_encoder_state(c);
    std::vector<unsigned char> got;
    c.get_state(got);
    EXPECT_EQ(got, state);
    img::avi::coder closed;
    EXPECT_NO_THROW(vortel::settings::read_encoder_state(closed));
}

TEST_F(RenderSettings, CopyReopensTheCompressorWithItsState)
{
    vortel::settings s;
    s.format = "avi";
    s.field = 1;
    s.encoder.open_code(s.encoder_info, mmioFOURCC('H', '2', '6', '4'));
    if (!s.encoder.is_open())
        s.encoder.open_code(s.encoder_info, mmioFOURCC('F', 'M', 'P', '4'));
    auto state = state_of(s);
    state[8] = 0x10;
    state[9] = 0x27;
    s.encoder.set_state(state);

    vortel::settings copy(s);
    EXPECT_EQ(copy.format, "avi");
    EXPECT_EQ(copy.field, 1);
    ASSERT_TRUE(copy.encoder.is_open());
    EXPECT_EQ(copy.encoder.info(), &copy.encoder_info);
    EXPECT_EQ(copy.encoder_info.code_text(), s.encoder_info.code_text());
    EXPECT_EQ(state_of(copy), state);

    vortel::settings none;
    copy = none;
    EXPECT_FALSE(copy.encoder.is_open());
    EXPECT_EQ(copy.format, "bmp");
}

// The library's table of exports holds the settings and the writer
// interface only.
TEST(vortel_library, ExportsOnlyItsInterface)
{
    const std::set<std::string> names = library_test::exported_names(VORTEL_LIBRARY_FILE);
    const std::regex allowed(
        "(typeinfo for |typeinfo name for |vtable for )?vortel::(settings|writer)(::|$).*");
    const std::set<std::string> unexpected = library_test::names_outside(names, allowed);
    EXPECT_TRUE(unexpected.empty()) << *unexpected.begin() << " and " << unexpected.size() - 1 << " more";
    EXPECT_TRUE(names.count("vortel::settings::read_registry()"));
    EXPECT_TRUE(names.count("vtable for vortel::writer"));
}

} // namespace
