#include "engine/memory_guard.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(MemoryGuard, NeedBeyondTheAvailableMemoryIsRefusedWithTheTask)
{
    EXPECT_NO_THROW(trm::ensure_memory(1000, 1000, "nothing"));
    try {
        trm::ensure_memory((3u << 20) + 1, 1u << 20, "block segmenting");
        FAIL() << "not refused";
    } catch (const xtd::exception& e) {
        EXPECT_EQ(
            std::string(e.what()), "Not enough memory for block segmenting: 4 MiB needed, 1 MiB available.");
    }
}

TEST(MemoryGuard, LiveCheckPassesSmallNeeds)
{
    EXPECT_GT(trm::available_memory(), 1u << 20);
    EXPECT_NO_THROW(trm::ensure_memory(1024, "a test"));
}

} // namespace
