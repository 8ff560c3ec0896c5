#include "precise.hpp"

#include <cmath>
#include <cstdint>

#include "exact_power.hpp"
#include "fixed_point.hpp"
#include "float_bits.hpp"

namespace orv::math {

namespace {

constexpr int kFirstPrecision = 128;
constexpr int kLastPrecision = 2048;
/// Working scales stay below this: precision + 64 guard bits + up to 66 for the scale of the
/// result (a log near 0) or of the exponent (pow).
constexpr int kConstantBits = 2304;

/// 2 atanh(1 / q) * 2^bits = sum 2 / ((2k + 1) q^(2k + 1)) * 2^bits, each term floored: every
/// floor loses less than a unit, so with K terms the sum is low by less than 2.2 K + 1 units.
Natural twice_atanh_of_inverse(std::uint32_t q, int bits) {
    Natural power = Natural::power_of_two(bits + 1);
    power.divide_small(q); // 2 / q
    Natural sum;
    for (std::uint32_t k = 0; !power.is_zero(); ++k) {
        Natural term = power;
        term.divide_small(2 * k + 1);
        sum += term;
        power.divide_small(q * q);
    }
    return sum;
}

/// log 2 and 1 / log 10 at kConstantBits, computed once with 32 guard bits (so that the
/// series' error, below 2^12 units, becomes less than one): each within 2 units.
struct Constants {
    Natural ln2;
    Natural inverse_ln10;
};

const Constants& constants() {
    static const Constants computed = [] {
        constexpr int kGuard = 32;
        constexpr int kBits = kConstantBits + kGuard;
        Natural ln2 = twice_atanh_of_inverse(3, kBits); // log 2 = 2 atanh(1/3)
        // log 10 = 3 log 2 + log(5/4), log(5/4) = 2 atanh(1/9)
        Natural ln10 = ln2;
        ln10.multiply_small(3);
        ln10 += twice_atanh_of_inverse(9, kBits);
        // 1 / log 10 = 2^kBits / (log 10 * 2^kBits): the quotient of two values within 2^13
        // units, with log 10 > 2, is within 2^12 units plus one for its floor.
        Natural inverse = quotient_bits(Natural::power_of_two(kBits), ln10, kBits);
        ln2.shift_right(kGuard);
        inverse.shift_right(kGuard);
        return Constants{ln2, inverse};
    }();
    return computed;
}

/// c * 2^bits from a constant at kConstantBits: within 2 units.
Natural at_scale(const Natural& constant, int bits) {
    Natural scaled = constant;
    return scaled.shift_right(kConstantBits - bits);
}

/// The exponent and significand of a positive finite double: x = significand * 2^exponent,
/// the significand's top bit at 2^52 (subnormals normalised).
void normalise(double x, std::uint64_t& significand, int& exponent) {
    const std::uint64_t bits = bits_of(x);
    const int biased = static_cast<int>(bits >> 52);
    significand = bits & ((std::uint64_t{1} << 52) - 1);
    exponent = biased - 1075;
    if (biased == 0) {
        exponent = -1074;
        while (significand < (std::uint64_t{1} << 52)) {
            significand <<= 1;
            --exponent;
        }
    } else {
        significand |= std::uint64_t{1} << 52;
    }
}

/// log x * 2^bits for a positive finite x, with `error` set to a bound in units.
///
/// x = 2^E m, m in [sqrt(2)/2, sqrt(2)), log m = 2 atanh(t), t = (m - 1) / (m + 1), |t| <
/// 0.1716, summed as t + t^3/3 + ... with t^2 < 0.0295. t is floored (1 unit), t^2 off by
/// under 1.35 units, each power t^(2k+1) by under 1.3 units (the error shrinks by t^2 and
/// grows by at most 1.35 t^(2k-1) + 1 a step) and each term by under 1.5; the series stops
/// when the power floors to zero, leaving less than a unit. So K terms give 2 (2 + 1.5 K)
/// units for log m, and E log 2 adds 2 |E|.
Fixed log_fixed(double x, int bits, std::uint64_t& error) {
    std::uint64_t significand = 0;
    int exponent = 0;
    normalise(x, significand, exponent);
    exponent += 52; // x = 2^exponent * m, m = significand / 2^52
    std::uint64_t one = std::uint64_t{1} << 52;
    if (significand >= 0x16A09E667F3BCDULL) { // m >= sqrt(2): use m / 2
        one <<= 1;
        ++exponent;
    }
    const bool below_one = significand < one;
    const Fixed t{fraction_bits(below_one ? one - significand : significand - one,
                                significand + one, bits),
                  below_one};
    const Fixed t_squared = multiply(t, t, bits);
    Fixed sum = t;
    Fixed power = t;
    std::uint64_t terms = 1;
    for (std::uint32_t k = 1;; ++k) {
        power = multiply(power, t_squared, bits);
        if (power.magnitude.is_zero()) {
            break;
        }
        Fixed term = power;
        term.magnitude.divide_small(2 * k + 1);
        sum = add(sum, term);
        ++terms;
    }
    sum.magnitude.shift_left(1);
    Fixed result = sum;
    const auto e_magnitude = static_cast<std::uint32_t>(exponent < 0 ? -exponent : exponent);
    if (e_magnitude != 0) {
        Fixed e_log2{at_scale(constants().ln2, bits), exponent < 0};
        e_log2.magnitude.multiply_small(e_magnitude);
        result = add(result, e_log2);
    }
    error = 4 + 3 * terms + 2 * e_magnitude + 2;
    return result;
}

/// A bound on |value| in whole units of 2^bits, plus one.
std::uint64_t whole_part_bound(const Fixed& value, int bits) {
    Natural whole = value.magnitude;
    whole.shift_right(bits);
    return whole.bits(0, 32) + 1;
}

int binary_exponent(double value) {
    int exponent = 0;
    std::frexp(value, &exponent);
    return exponent;
}

} // namespace

double log_precise(double x, bool decimal, double estimate) {
    if (decimal) {
        double power = 1.0;
        for (int k = 0; k <= 22; ++k, power *= 10.0) {
            if (x == power) { // every 10^k up to 10^22 is a double: its log10 is k exactly
                return k;
            }
        }
    }
    // Scale to the result: a log near 0 needs as many more bits as it has leading zeros.
    const int leading_zeros = estimate == 0.0 ? 0 : -binary_exponent(estimate);
    const int scale_bits = leading_zeros > 0 ? leading_zeros + 2 : 2;
    double result = estimate;
    for (int precision = kFirstPrecision; precision <= kLastPrecision; precision *= 2) {
        const int bits = precision + 64 + scale_bits;
        std::uint64_t error = 0;
        Fixed value = log_fixed(x, bits, error);
        if (decimal) {
            // |log x| < 745 and 1/log 10 within 2 units: the product adds 2 * 745 + 1.
            const std::uint64_t size = whole_part_bound(value, bits);
            value = multiply(value, Fixed{at_scale(constants().inverse_ln10, bits), false}, bits);
            error = error + 2 * size + 1;
        }
        if (round_interval(value, error, bits, 0, result)) {
            return result;
        }
        result = round_to_double(value.magnitude, -bits) * (value.negative ? -1.0 : 1.0);
    }
    return result; // never reached: the hardest cases need about 120 bits
}

// x^y = exp(t), t = y log x. |y| < 2^y_bits; log x is taken to y_bits more bits than t, so
// that its error, times |y|, stays within one unit of t. Then t = n log 2 + r, |r| < 0.36,
// and exp r = sum r^k / k!: each term off by at most (its predecessor's error |r| + the
// error of r times the predecessor + 1) / k + 1, in all under 2 err(r) + 2 K + 6 units for K
// terms. exp r > 0.69, so the relative error of 2^n exp r is within that many units of 2^-bits.
double pow_precise(double x, double y) {
    double exact = 0.0;
    if (exact_power(x, y, exact)) {
        return exact;
    }
    std::uint64_t y_significand = 0;
    int y_exponent = 0;
    normalise(std::fabs(y), y_significand, y_exponent);
    const int y_bits = y_exponent + 53 > 0 ? y_exponent + 53 : 0; // |y| < 2^y_bits
    double result = 0.0;
    for (int precision = kFirstPrecision; precision <= kLastPrecision; precision *= 2) {
        const int bits = precision + 64;
        const int log_bits = bits + y_bits + 2;
        std::uint64_t log_error = 0;
        const Fixed log_x = log_fixed(x, log_bits, log_error);
        Fixed t{log_x.magnitude * Natural(y_significand), log_x.negative != (y < 0)};
        const int shift = y_exponent + bits - log_bits;
        if (shift >= 0) {
            t.magnitude.shift_left(shift);
        } else {
            t.magnitude.shift_right(-shift);
        }
        const std::uint64_t t_error = log_error + 1;

        const double t_estimate = round_to_double(t.magnitude, -bits) * (t.negative ? -1 : 1);
        const double n_real = t_estimate * 1.4426950408889634; // 1 / log 2
        const auto n = static_cast<std::int64_t>(n_real + (n_real >= 0 ? 0.5 : -0.5));
        const auto n_magnitude = static_cast<std::uint32_t>(n < 0 ? -n : n);
        Fixed n_log2{at_scale(constants().ln2, bits), n > 0};
        n_log2.magnitude.multiply_small(n_magnitude);
        const Fixed r = add(t, n_log2); // t - n log 2
        const std::uint64_t r_error = t_error + 2 * n_magnitude;

        Fixed sum{Natural::power_of_two(bits), false};
        Fixed term = sum;
        std::uint64_t terms = 0;
        for (std::uint32_t k = 1;; ++k) {
            term = multiply(term, r, bits);
            term.magnitude.divide_small(k);
            if (term.magnitude.is_zero()) {
                break;
            }
            sum = add(sum, term);
            ++terms;
        }
        const std::uint64_t error = 2 * (2 * r_error + 2 * terms + 6);
        if (round_interval(sum, error, bits, static_cast<int>(n), result)) {
            return result;
        }
        result = round_to_double(sum.magnitude, static_cast<int>(n) - bits);
    }
    return result; // not reached in any case measured (bench/README.md)
}

} // namespace orv::math
