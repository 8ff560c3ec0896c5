#pragma once

// Signed fixed-point reals for the precise path: value = magnitude / 2^bits, with the scale
// `bits` chosen per computation. Errors are counted in units of 2^-bits.
#include <cstdint>

#include "natural.hpp"

namespace orv::math {

struct Fixed {
    Natural magnitude;
    bool negative = false;
};

/// a + b, exactly.
Fixed add(const Fixed& a, const Fixed& b);

/// floor(a * b / 2^bits) in magnitude: off by less than one unit.
Fixed multiply(const Fixed& a, const Fixed& b, int bits);

/// floor(numerator * 2^bits / denominator), for numerator < denominator < 2^62.
Natural fraction_bits(std::uint64_t numerator, std::uint64_t denominator, int bits);

/// floor(a * 2^bits / b) by long division.
Natural quotient_bits(const Natural& a, const Natural& b, int bits);

/// magnitude * 2^shift rounded to the nearest double, ties to even (subnormals and overflow
/// to infinity included).
double round_to_double(Natural magnitude, int shift);

/// Rounds value +- error units, both times 2^(scale - bits); true with the common rounding in
/// `result` when they agree (and share a sign).
bool round_interval(const Fixed& value, std::uint64_t error, int bits, int scale,
                    double& result);

} // namespace orv::math
