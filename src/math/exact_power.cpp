// x = X 2^E with X odd, y = Y 2^F with Y odd. x^y is rational only when it is a dyadic power
// of a dyadic rational (unique factorisation):
// - F >= 0 (y an integer): x^y = X^y 2^(E y). With y < 0 it is dyadic only for X = 1; with
//   y > 0, X^y is odd, and an odd A above 2^54 is neither a double nor a midpoint.
// - F < 0 (y = Y / 2^k, k = -F): x must be a 2^k-th power, X = N^(2^k) and 2^k dividing E;
//   then x^y = N^Y 2^(E Y / 2^k), dyadic only for N = 1 or Y > 0. Since X < 2^53 and N >= 3
//   otherwise, k <= 5 there; with N = 1, |E| < 2^11 bounds k.
// Any other x^y is irrational or a non-dyadic rational, never a rounding boundary.
#include "exact_power.hpp"

#include <cmath>
#include <cstdint>

#include "fixed_point.hpp"
#include "float_bits.hpp"

namespace orv::math {

namespace {

/// value = odd * 2^exponent for a finite nonzero double.
void odd_part(double value, std::uint64_t& odd, int& exponent) {
    const std::uint64_t bits = bits_of(value);
    const int biased = static_cast<int>((bits >> 52) & 0x7FF);
    odd = bits & ((std::uint64_t{1} << 52) - 1);
    exponent = (biased == 0 ? 1 : biased) - 1075;
    if (biased != 0) {
        odd |= std::uint64_t{1} << 52;
    }
    while ((odd & 1U) == 0) {
        odd >>= 1;
        ++exponent;
    }
}

/// base^power when it stays below 2^64.
bool small_power(std::uint64_t base, std::uint64_t power, std::uint64_t& result) {
    result = 1;
    for (std::uint64_t i = 0; i < power; ++i) {
        if (result > UINT64_MAX / base) {
            return false;
        }
        result *= base;
    }
    return true;
}

/// The exact square root of `value` (< 2^53), if it has one.
bool exact_square_root(std::uint64_t value, std::uint64_t& root) {
    auto estimate = static_cast<std::uint64_t>(std::sqrt(static_cast<double>(value)));
    while (estimate * estimate > value) {
        --estimate;
    }
    while ((estimate + 1) * (estimate + 1) <= value) {
        ++estimate;
    }
    root = estimate;
    return estimate * estimate == value;
}

} // namespace

bool exact_power(double x, double y, double& result) {
    std::uint64_t x_odd = 0;
    std::uint64_t y_odd = 0;
    int x_exponent = 0;
    int y_exponent = 0;
    odd_part(x, x_odd, x_exponent);
    odd_part(std::fabs(y), y_odd, y_exponent);
    // |y log x| <= 746 on this path, so a power of two has |y| < 1100; for X >= 3 a power
    // below 2^64 has |y| < 41.
    if (std::fabs(y) > 0x1p31) {
        return false;
    }
    const bool y_negative = y < 0;
    std::uint64_t base = x_odd;
    std::int64_t power = 0; // Y, or y itself when y is an integer
    std::int64_t exponent_numerator = x_exponent;
    if (y_exponent >= 0) {
        power = static_cast<std::int64_t>(y_odd << y_exponent);
    } else {
        const int k = -y_exponent;
        if (k > 11 || x_exponent % (1 << k) != 0) {
            return false;
        }
        for (int i = 0; i < k; ++i) {
            if (!exact_square_root(base, base)) {
                return false;
            }
        }
        exponent_numerator = x_exponent / (1 << k);
        power = static_cast<std::int64_t>(y_odd);
    }
    if (power > (std::int64_t{1} << 31)) {
        return false;
    }
    std::uint64_t odd_result = 1;
    if (base != 1 &&
        (y_negative || !small_power(base, static_cast<std::uint64_t>(power), odd_result))) {
        return false;
    }
    const std::int64_t shift = exponent_numerator * power * (y_negative ? -1 : 1);
    if (shift > 2000 || shift < -2000) {
        return false; // out of range: the caller has ruled such results out already
    }
    result = round_to_double(Natural(odd_result), static_cast<int>(shift));
    return true;
}

} // namespace orv::math
