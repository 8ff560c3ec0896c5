#include "fixed_point.hpp"

#include <limits>

#include "float_bits.hpp"

namespace orv::math {

Fixed add(const Fixed& a, const Fixed& b) {
    if (a.negative == b.negative) {
        return {a.magnitude + b.magnitude, a.negative};
    }
    if (b.magnitude <= a.magnitude) {
        return {a.magnitude - b.magnitude, a.negative};
    }
    return {b.magnitude - a.magnitude, b.negative};
}

Fixed multiply(const Fixed& a, const Fixed& b, int bits) {
    Natural product = a.magnitude * b.magnitude;
    product.shift_right(bits);
    return {product, a.negative != b.negative};
}

Natural fraction_bits(std::uint64_t numerator, std::uint64_t denominator, int bits) {
    Natural quotient;
    std::uint64_t remainder = numerator;
    for (int i = 0; i < bits; ++i) {
        remainder <<= 1; // below 2^63: remainder < denominator < 2^62
        quotient.shift_left(1);
        if (remainder >= denominator) {
            remainder -= denominator;
            quotient += Natural(1);
        }
    }
    return quotient;
}

Natural quotient_bits(const Natural& a, const Natural& b, int bits) {
    Natural remainder = a;
    Natural quotient;
    // Whole part first, then one bit of the fraction at a time.
    Natural shifted = b;
    int top = 0;
    while (shifted <= remainder) {
        shifted.shift_left(1);
        ++top;
    }
    for (int i = top - 1; i >= -bits; --i) {
        Natural step = b;
        if (i >= 0) {
            step.shift_left(i);
        } else {
            remainder.shift_left(1);
        }
        quotient.shift_left(1);
        if (step <= remainder) {
            remainder -= step;
            quotient += Natural(1);
        }
    }
    return quotient;
}

double round_to_double(Natural magnitude, int shift) {
    if (magnitude.is_zero()) {
        return 0.0;
    }
    int length = magnitude.bit_length();
    if (length < 56) { // room for 53 bits, a rounding bit and a sticky bit
        magnitude.shift_left(56 - length);
        shift -= 56 - length;
        length = 56;
    }
    const int top = length - 1 + shift; // 2^top <= value < 2^(top + 1)
    if (top >= 1024) {
        return std::numeric_limits<double>::infinity();
    }
    const int kept = top >= -1022 ? 53 : 53 - (-1022 - top);
    if (kept < 0) {
        return 0.0; // below 2^-1076, less than half the least subnormal
    }
    const int first_dropped = length - kept; // bits below this index are dropped
    std::uint64_t q = magnitude.bits(first_dropped, kept);
    const bool half = magnitude.bits(first_dropped - 1, 1) != 0;
    const bool beyond = magnitude.any_bit_below(first_dropped - 1);
    if (half && (beyond || (q & 1U) != 0)) {
        ++q;
    }
    if (kept < 53) {
        // A subnormal: q units of 2^-1074 (q = 2^52 is the least normal, bit for bit).
        return double_of(q);
    }
    int exponent = top;
    if (q == (std::uint64_t{1} << 53)) {
        q >>= 1;
        ++exponent;
    }
    if (exponent >= 1024) {
        return std::numeric_limits<double>::infinity();
    }
    return double_of((static_cast<std::uint64_t>(exponent + 1023) << 52) |
                     (q & ((std::uint64_t{1} << 52) - 1)));
}

bool round_interval(const Fixed& value, std::uint64_t error, int bits, int scale,
                    double& result) {
    const Fixed spread{Natural(error), false};
    const Fixed low = add(value, Fixed{spread.magnitude, true});
    const Fixed high = add(value, spread);
    if (low.negative != high.negative || low.magnitude.is_zero() ||
        high.magnitude.is_zero()) {
        return false;
    }
    const double a = round_to_double(low.magnitude, scale - bits);
    const double b = round_to_double(high.magnitude, scale - bits);
    if (a != b) {
        return false;
    }
    result = value.negative ? -a : a;
    return true;
}

} // namespace orv::math
