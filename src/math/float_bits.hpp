#pragma once

// The bits of a double and back, without undefined behaviour.
#include <cstdint>
#include <cstring>

namespace orv::math {

inline constexpr std::uint64_t kFractionMask = (std::uint64_t{1} << 52) - 1;
inline constexpr std::uint64_t kHiddenBit = std::uint64_t{1} << 52;

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

/// A positive normal double as odd * 2^exponent, odd a whole number below 2^53.
struct OddPart {
    std::uint64_t odd;
    std::int64_t exponent;
};

/// The odd part of a positive finite x; false for 0 and the subnormals.
inline bool odd_part(double x, OddPart& part) {
    const std::uint64_t bits = bits_of(x);
    const auto biased = static_cast<std::int64_t>(bits >> 52);
    if (biased == 0) {
        return false;
    }
    const std::uint64_t significand = (bits & kFractionMask) | kHiddenBit;
    const int zeros = __builtin_ctzll(significand);
    part = {significand >> zeros, biased - 1075 + zeros};
    return true;
}

} // namespace orv::math
