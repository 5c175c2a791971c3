#include "foundation/files/numbered_file_name.h"

#include <gtest/gtest.h>

TEST(NumberedFileName, BracketedRunGivesItsWidth)
{
    NumberedFileName names("c:\\out\\name_[###].bmp");
    EXPECT_EQ(names.prefix(), "c:\\out\\name_");
    EXPECT_EQ(names.suffix(), ".bmp");
    EXPECT_EQ(names.digits(), 3);
    EXPECT_EQ(names.Next(), "c:\\out\\name_000.bmp");
    EXPECT_EQ(names.Next(), "c:\\out\\name_001.bmp");
}

TEST(NumberedFileName, PlainRunAndLastRunWins)
{
    NumberedFileName names("img####.png");
    EXPECT_EQ(names.Next(), "img0000.png");

    names.Parse("a##b###c.png");
    EXPECT_EQ(names.prefix(), "a##b");
    EXPECT_EQ(names.suffix(), "c.png");
    EXPECT_EQ(names.Next(), "a##b000c.png");
}

TEST(NumberedFileName, SingleBracketIsDroppedToo)
{
    NumberedFileName names("img[##.png");
    EXPECT_EQ(names.Next(), "img00.png");
    names.Parse("img##].png");
    EXPECT_EQ(names.Next(), "img00.png");
}

TEST(NumberedFileName, PatternWithoutRunNumbersBeforeExtension)
{
    NumberedFileName names("/out/frame.bmp");
    EXPECT_EQ(names.digits(), 3);
    EXPECT_EQ(names.Next(), "/out/frame000.bmp");

    names.Parse("/out.d/frame");
    EXPECT_EQ(names.Next(), "/out.d/frame000");
}

TEST(NumberedFileName, HashInFolderNameIsNotTheRun)
{
    NumberedFileName names("/take#2/clip.png");
    EXPECT_EQ(names.prefix(), "/take#2/clip");
    EXPECT_EQ(names.Next(), "/take#2/clip000.png");

    names.Parse("c:\\take##\\clip_[#].png");
    EXPECT_EQ(names.Next(), "c:\\take##\\clip_0.png");
}

TEST(NumberedFileName, NumberWiderThanRunIsWrittenWhole)
{
    NumberedFileName names("f#.png");
    for (int i = 0; i < 12; ++i)
        names.Next();
    EXPECT_EQ(names.Next(), "f12.png");
}

TEST(NumberedFileName, ParseRestartsCounter)
{
    NumberedFileName names("a#");
    names.Next();
    names.Parse("b#");
    EXPECT_EQ(names.Next(), "b0");
}

TEST(NumberedFileName, EmptyPatternGivesBareNumbers)
{
    NumberedFileName names;
    EXPECT_EQ(names.digits(), 0);
    EXPECT_EQ(names.Next(), "0");
    EXPECT_EQ(names.Next(), "1");
}

TEST(NumberedFileName, MakeNumberedPatternGoesBeforeExtension)
{
    EXPECT_EQ(make_numbered_pattern("c:\\out\\clip.bmp"), "c:\\out\\clip_[###].bmp");
    EXPECT_EQ(make_numbered_pattern("/out.d/clip"), "/out.d/clip_[###]");
    EXPECT_EQ(make_numbered_pattern("/take#1/a.b.png"), "/take#1/a.b_[###].png");

    NumberedFileName names(make_numbered_pattern("/take#1/a.png"));
    EXPECT_EQ(names.Next(), "/take#1/a_000.png");
}
