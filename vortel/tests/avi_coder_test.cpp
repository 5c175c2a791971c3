#include "vortel/avi_coder.h"

#include "lumvex/avi/avi_file.h"
#include "platform/video/avi_file.h"

#include <gtest/gtest.h>

namespace {

using img::avi::coder;
using img::avi::coder_info;
using platform::mmioFOURCC;

std::vector<coder_info> installed()
{
    std::vector<coder_info> list;
    img::avi::enumerate_coders(list, 720, 576);
    return list;
}

TEST(AviCoder, UnknownCodeDoesNotOpen)
{
    coder c;
    coder_info info;
    try {
        c.open_code(info, mmioFOURCC('Q', 'Q', 'Q', 'Q'));
        FAIL();
    } catch (const img::avi::exception& e) {
        EXPECT_STREQ(e.what(), "error opening video compressor");
    }
    EXPECT_FALSE(c.is_open());
    std::vector<unsigned char> state;
    EXPECT_THROW(c.get_state(state), img::avi::exception);
    EXPECT_THROW(c.set_state(state), img::avi::exception);
}

TEST(AviCoder, RefusedStateLeavesTheStateAsItWas)
{
    coder c;
    coder_info info;
    c.open_code(info, mmioFOURCC('M', 'J', 'P', 'G'));
    std::vector<unsigned char> before;
    c.get_state(before);
    std::vector<unsigned char> damaged = before;
    damaged[4] = 9;
    try {
        c.set_state(damaged);
        FAIL();
    } catch (const img::avi::exception& e) {
        EXPECT_STREQ(e.what(), "error setting state of video compressor");
    }
    std::vector<unsigned char> after;
    c.get_state(after);
    EXPECT_EQ(after, before);
}

TEST(AviCoder, OpenCodeFillsTheDescription)
{
    coder c;
    coder_info info;
    c.open_code(info, mmioFOURCC('F', 'M', 'P', '4'));
    ASSERT_TRUE(c.is_open());
    EXPECT_EQ(c.info(), &info);
    EXPECT_EQ(info.code_text(), "FMP4");
    EXPECT_EQ(info.handler(), mmioFOURCC('F', 'M', 'P', '4'));
    EXPECT_FALSE(info.name.empty());
    EXPECT_TRUE(info.accepts_24);
    EXPECT_TRUE(info.accepts_32);
    EXPECT_TRUE(info.quality);
    EXPECT_TRUE(info.temporal);
    EXPECT_FALSE(info.crunch);
    EXPECT_FALSE(info.has_about);
    EXPECT_FALSE(info.has_configure);
    c.close();
    EXPECT_FALSE(c.is_open());
    EXPECT_EQ(c.info(), nullptr);
}

TEST(AviCoder, CopyOpensTheSameCompressorWithTheSameState)
{
    coder c;
    coder_info info;
    c.open_code(info, mmioFOURCC('M', 'J', 'P', 'G'));
    std::vector<unsigned char> state;
    c.get_state(state);
    state[8] = 0x88; // another quality
    state[9] = 0x13;
    c.set_state(state);

    coder copy(c);
    ASSERT_TRUE(copy.is_open());
    EXPECT_EQ(copy.info(), &info);
    std::vector<unsigned char> copied;
    copy.get_state(copied);
    EXPECT_EQ(copied, state);

    coder closed;
    copy = closed;
    EXPECT_FALSE(copy.is_open());
}

TEST(AviCoder, EnumerationListsEveryOfferedCompressorOnce)
{
    auto list = installed();
    std::vector<std::string> codes;
    for (const auto& i : list) {
        codes.push_back(i.code_text());
        EXPECT_TRUE(i.accepts_24 || i.accepts_32) << i.name;
    }
    const std::vector<std::string> expected = { "DIB ", "MJPG", "FMP4", "HFYU", "FFV1", "ULRG", "ULY0" };
    ASSERT_GE(codes.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(codes.begin(), codes.begin() + 7), expected);
    // A size no compressor takes lists none.
    std::vector<coder_info> none;
    img::avi::enumerate_coders(none, 0, 576);
    EXPECT_TRUE(none.empty());
}

} // namespace
