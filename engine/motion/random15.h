#pragma once

// The engine's own pseudo-random numbers: a linear congruential generator of
// 15-bit values, the same sequence on every platform and in every run. One
// generator is held per calculation, so results never depend on what other
// code in the process draws.

#include <cstdint>

namespace trm {

class random15 {
public:
    static constexpr std::uint32_t max = 0x7FFF;

    // Starts from seed 1.
    random15() = default;
    explicit random15(std::uint32_t seed) noexcept
        : m_state(seed)
    {
    }

    // The next value in [0, 32767]: s = s * 214013 + 2531011 (modulo 2^32),
    // value (s >> 16) & 0x7FFF.
    std::uint32_t next() noexcept
    {
        m_state = static_cast<std::uint32_t>(std::uint64_t(m_state) * 214013u + 2531011u);
        return (m_state >> 16) & max;
    }

private:
    std::uint32_t m_state = 1;
};

} // namespace trm
