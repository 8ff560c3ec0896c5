#pragma once

// The bits of a double and back, without undefined behaviour.
#include <cstdint>
#include <cstring>

namespace orv::math {

inline std::uint64_t bits_of(double value) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

inline double double_of(std::uint64_t bits) {
    double value = 0.0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

/// 2^exponent for -1022 <= exponent <= 1023 (a normal power of two).
inline double power_of_two(int exponent) {
    return double_of(static_cast<std::uint64_t>(exponent + 1023) << 52);
}

} // namespace orv::math
