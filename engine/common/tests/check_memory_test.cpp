#include "engine/common/check_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/kernel/memory_status.h"

namespace {

platform::memory_status status_of(std::uint64_t virtual_bytes, std::uint64_t physical_bytes)
{
    platform::memory_status status;
    status.available_virtual = virtual_bytes;
    status.available_physical = physical_bytes;
    return status;
}

TEST(CheckMemory, FrameNeedsAreRefusedWithTheSystemsMessages)
{
    platform::memory_status status = status_of(1ull << 40, 1ull << 30);
    EXPECT_NO_THROW(trm::check_memory(100u << 20, status));
    try {
        trm::check_memory(1000u << 20, status);
        FAIL() << "no error";
    } catch (const trm::no_page_mem& e) {
        EXPECT_STREQ(e.what(),
            "Not enough page memory available.\nPlease, close other tasks running or enlarge system's "
            "pagefile.");
    }
    status.available_virtual = 16u << 20;
    try {
        trm::check_memory(0, status);
        FAIL() << "no error";
    } catch (const trm::no_virt_mem& e) {
        EXPECT_STREQ(e.what(), "The process exceeded all its virtual memory, sorry.");
    }
    EXPECT_THROW(trm::check_memory(UINT64_MAX, status), trm::exception);
}

TEST(CheckMemory, StageNeedsAreRefusedWithTheTaskAndTheLimitExceeded)
{
    EXPECT_NO_THROW(trm::ensure_memory(1000, status_of(1000, 1000), "nothing"));
    try {
        trm::ensure_memory((3u << 20) + 1, status_of(1ull << 40, 1u << 20), "block segmenting");
        FAIL() << "not refused";
    } catch (const xtd::exception& e) {
        EXPECT_EQ(
            std::string(e.what()), "Not enough memory for block segmenting: 4 MiB needed, 1 MiB available.");
    }
    try {
        trm::ensure_memory(3u << 20, status_of(2u << 20, 1ull << 30), "motion profiles");
        FAIL() << "not refused";
    } catch (const trm::not_enough_memory& e) {
        EXPECT_EQ(
            std::string(e.what()), "Not enough memory for motion profiles: 3 MiB needed, 2 MiB available.");
    }
}

TEST(CheckMemory, LiveChecksPassSmallNeeds)
{
    EXPECT_GT(trm::available_memory(), 1u << 20);
    EXPECT_NO_THROW(trm::ensure_memory(1024, "a test"));
    EXPECT_NO_THROW(trm::check_memory(1024));
}

} // namespace
