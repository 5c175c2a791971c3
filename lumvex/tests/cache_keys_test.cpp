#include "lumvex/avi/avi_frame_id.h"
#include "lumvex/footage/still_image_id.h"

#include <gtest/gtest.h>

#include <sstream>

using lumvex::avi_frame_id;
using lumvex::still_image_id;

namespace {

// A frame request as a footage reader makes it: derived from the frame key.
class frame_request : public avi_frame_id {
public:
    using avi_frame_id::avi_frame_id;
    bool threaded() const override { return true; }
};

std::string description_of(const lumvex::item_id& key)
{
    std::ostringstream out;
    key.describe(out);
    return out.str();
}

boost::shared_ptr<lumvex::item_id> deserialized(
    const lumvex::item_id_deserializer& kind, const std::string& text)
{
    std::istringstream in(text);
    return kind.deserialize(in);
}

} // namespace

TEST(still_image_id, EqualsAKeyOfExactlyTheSamePath)
{
    const still_image_id a("C:\\A\\Photo.PNG");
    EXPECT_TRUE(a.equals(still_image_id("C:\\A\\Photo.PNG")));
    EXPECT_FALSE(a.equals(still_image_id("c:\\a\\photo.png")));
    EXPECT_FALSE(a.equals(still_image_id("c:\\a\\photo2.png")));
    EXPECT_FALSE(a.equals(avi_frame_id(0, "C:\\A\\Photo.PNG", 1, true)));
    EXPECT_EQ(a.key(), "Photo");
    EXPECT_FALSE(a.disc_cacheable());
    EXPECT_TRUE(a.can_produce());
}

TEST(still_image_id, DescriptionRebuildsTheKey)
{
    const still_image_id key("/clips/plate.png");
    EXPECT_EQ(description_of(key), "copy of image:\n/clips/plate.png");
    const auto rebuilt = deserialized(lumvex::still_image_id_deserializer(), description_of(key));
    ASSERT_TRUE(rebuilt);
    EXPECT_TRUE(key.equals(*rebuilt));
    // A first line with a trailing blank is another text.
    EXPECT_FALSE(deserialized(lumvex::still_image_id_deserializer(), "copy of image: \n/clips/plate.png"));
    EXPECT_FALSE(deserialized(lumvex::still_image_id_deserializer(), "copy of image:"));
}

TEST(avi_frame_id, KeysDifferingOnlyInDurationAreDifferent)
{
    const avi_frame_id a(7, "/clips/walk.avi", 100, true);
    EXPECT_TRUE(a.equals(avi_frame_id(7, "/clips/walk.avi", 100, false)));
    EXPECT_FALSE(a.equals(avi_frame_id(7, "/clips/walk.avi", 101, true)));
    EXPECT_FALSE(a.equals(avi_frame_id(8, "/clips/walk.avi", 100, true)));
    EXPECT_FALSE(a.equals(avi_frame_id(7, "/clips/Walk.avi", 100, true)));
    EXPECT_FALSE(a.equals(still_image_id("/clips/walk.avi")));
}

TEST(avi_frame_id, AFrameRequestAndThePlainKeyOfTheSameFrameAreEqual)
{
    const avi_frame_id plain(7, "/clips/walk.avi", 100, true);
    const frame_request request(7, "/clips/walk.avi", 100, true);
    EXPECT_TRUE(plain.equals(request));
    EXPECT_TRUE(request.equals(plain));
    EXPECT_FALSE(plain.equals(frame_request(6, "/clips/walk.avi", 100, true)));
}

TEST(avi_frame_id, KeyTextIsTheFileNameAndTheZeroFilledFrame)
{
    EXPECT_EQ(avi_frame_id(42, "D:\\clips\\walk.avi", 100, true).key(), "walk.000042");
    EXPECT_EQ(avi_frame_id(1234567, "/clips/walk.avi", 2000000, true).key(), "walk.1234567");
}

TEST(avi_frame_id, KeysOfAnotherContentOfTheFileAreDifferent)
{
    const lumvex::file_stamp stamp { 1000, 5, 6, 77 };
    const avi_frame_id a(7, "/clips/walk.avi", 100, true, stamp);
    EXPECT_TRUE(a.equals(avi_frame_id(7, "/clips/walk.avi", 100, true, stamp)));
    for (const lumvex::file_stamp other : { lumvex::file_stamp { 1001, 5, 6, 77 },
             lumvex::file_stamp { 1000, 9, 6, 77 }, lumvex::file_stamp { 1000, 5, 9, 77 },
             lumvex::file_stamp { 1000, 5, 6, 78 }, lumvex::file_stamp {} })
        EXPECT_FALSE(a.equals(avi_frame_id(7, "/clips/walk.avi", 100, true, other)));
}

TEST(avi_frame_id, DescriptionRebuildsADiscCacheableKey)
{
    const avi_frame_id key(
        42, "/clips/walk.avi", 100, false, { 1000, 1700000000123456789, 1700000000987654321, 77 });
    EXPECT_EQ(description_of(key),
        "AVI frame: (fullpath to avi, its duration, frame number)\n/clips/walk.avi\n100\n42\n"
        "1000 1700000000123456789 1700000000987654321 77\n");
    const auto rebuilt = deserialized(lumvex::avi_frame_id_deserializer(), description_of(key));
    ASSERT_TRUE(rebuilt);
    EXPECT_TRUE(key.equals(*rebuilt));
    EXPECT_TRUE(rebuilt->disc_cacheable());
}

TEST(avi_frame_id, ADescriptionWithoutAReadableStampNamesNoOpenedFile)
{
    const lumvex::avi_frame_id_deserializer kind;
    const std::string text
        = "AVI frame: (fullpath to avi, its duration, frame number)\n/clips/walk.avi\n100\n42\n";
    for (const std::string& tail : { std::string(), std::string("1000 17"), std::string("garbage\n") }) {
        const auto rebuilt = deserialized(kind, text + tail);
        ASSERT_TRUE(rebuilt);
        EXPECT_TRUE(rebuilt->equals(avi_frame_id(42, "/clips/walk.avi", 100, true)));
        EXPECT_FALSE(rebuilt->equals(avi_frame_id(42, "/clips/walk.avi", 100, true, { 1000, 17, 0, 0 })));
    }
}

TEST(avi_frame_id, DescriptionsOfOtherKindsOrWithoutNumbersYieldNoKey)
{
    const lumvex::avi_frame_id_deserializer kind;
    const std::string header = "AVI frame: (fullpath to avi, its duration, frame number)\n";
    EXPECT_FALSE(deserialized(kind, header + "/clips/walk.avi\nlong\n42\n"));
    EXPECT_FALSE(deserialized(kind, header + "/clips/walk.avi\n100\n"));
    EXPECT_FALSE(deserialized(kind, "copy of image:\n/clips/walk.png"));
    EXPECT_FALSE(deserialized(kind, ""));
}
