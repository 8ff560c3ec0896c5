// log and exp in double-double arithmetic. Error bounds are relative unless stated; u = 2^-53
// is the unit roundoff.
#include "fast_paths.hpp"

#include <cstdint>
#include <limits>

#include "float_bits.hpp"

namespace orv::math {

namespace {

/// A step of the reduction of log: R = k / 512 (k / 8192 in the second step) and -log R
/// (-log 2R in the halved bins of the first).
struct LogBin {
    int k;
    double t_hi;
    double t_lo;
};

#include "tables.inc"

/// log(1 + z) for z = z.hi + z.lo exact, |z| < 2^-12.8, as hi + lo (not normalised) to a
/// relative 2^-77.
///
/// Taylor's series z - z^2/2 + z^3/3 - ... to z^7/7; the rest is below |z|^8/8 < 2^-92 |z|.
/// z^2 / 2 is carried in double-double (TwoProduct of z.hi, plus 2 z.hi z.lo; z.lo^2 is below
/// 2^-130 |z|). The tail z^3 (1/3 - z/4 + ...) is below 2^-27 |z| and plain double arithmetic
/// gets it to about 3u of its size: 2^-78 |z|. The last additions round at about 2^-105 |z|.
/// log(1 + z) >= |z| (1 - 2^-13), so the bound holds relative to the result too.
DoubleDouble log1p_small(DoubleDouble z) {
    const double h = z.hi;
    const DoubleDouble square = two_product(h, h);
    const double tail =
        square.hi * h * (1.0 / 3 + h * (-0.25 + h * (0.2 + h * (-1.0 / 6 + h * (1.0 / 7)))));
    const DoubleDouble head = fast_two_sum(h, -0.5 * square.hi); // |h| > |h^2 / 2|
    return {head.hi, head.lo + ((z.lo - (0.5 * square.lo + h * z.lo)) + tail)};
}

/// A 64-bit integer that fits 63 bits as a double-double, exactly.
DoubleDouble exact_double_double(std::int64_t value) {
    const auto hi = static_cast<double>(value); // rounded to nearest; integral, |hi| <= 2^63
    return {hi, static_cast<double>(value - static_cast<std::int64_t>(hi))}; // |rest| <= 2^9
}

/// log10 from log: the product with 1 / log 10, normalised. The product adds about 2^-102
/// (the constant's and the products' rounding).
DoubleDouble decimal_of(DoubleDouble natural) {
    const DoubleDouble product = multiply(natural, kInverseLn10);
    return fast_two_sum(product.hi, product.lo);
}

// x = X 2^E with X odd, |E| <= 1074 < 2^11: log x = E log 2 + log X. E kLn2Hi is exact (42
// bits), E kLn2Lo is off by at most 2^-86 and E d (log 2 = kLn2Hi + kLn2Lo + d, |d| < 2^-96)
// is below 2^-85; the table's log X (< 5.6) is within 2^-103. The TwoSum is exact, and the
// two additions into its low part (below 2^-32) round by at most 2^-84 together: in all less
// than 2^-82.9. The low part stays below |hi| >= 2^-8.1, so the last Fast2Sum is exact.
bool small_odd_logarithm(double x, DoubleDouble& value) {
    OddPart part{};
    if (!odd_part(x, part) || part.odd >= 2 * static_cast<std::uint64_t>(kSmallOddCount)) {
        return false; // a subnormal x, or an odd part beyond the table
    }
    const auto e = static_cast<double>(part.exponent);
    const DoubleDouble& entry = kLogSmallOdd[part.odd >> 1];
    const DoubleDouble sum = two_sum(e * kLn2Hi, entry.hi);
    value = fast_two_sum(sum.hi, sum.lo + (e * kLn2Lo + entry.lo));
    return true;
}

} // namespace

// Reduction in two steps, in integers, so that the reduced argument is exact.
//
// x = 2^E m, m in [1, 2) with 53-bit significand M = m 2^52. The top 8 bits of the fraction
// pick a bin and its R1 = k1 / 512, chosen so that z1 = m R1 - 1 satisfies |z1| < 2^-8; in
// integers z1 = (M k1 - 2^61) / 2^61. Then j = round(z1 2^12), |j| <= 16, picks R2 = k2 / 8192
// near 1 / (1 + j / 4096), so that z = m R1 R2 - 1 = (M k1 k2 - 2^74) / 2^74 has |z| <
// 2^-12.8: its numerator fits 63 bits and so a double-double exactly. Then
//   log x = E log 2 - log R1 - log R2 + log(1 + z),
// and in the bins of m >= sqrt(2) (from 106 on), log x = (E + 1) log 2 - log(2 R1) - ..., so
// that x just below 1 (m near 2, R1 = 1/2) meets no cancellation: E + 1 = 0 and -log(2 R1) =
// 0, as E = 0 and R1 = 1 for x just above 1, and R2 = 1 for j = 0.
//
// Error: log 2 = kLn2Hi + kLn2Lo + d with |d| < 2^-96; kLn2Hi has 42 bits and |E| < 2^11, so
// E kLn2Hi is exact and E (kLn2Lo + d) is off by less than 2^-84. The tables are double-double
// (2^-106). With E (the E used) != 0, |log x| > log(2)/2, so those add 2^-82. With E = 0,
// either R1 = R2 = 1 and the result is log1p_small's (2^-77), or |log x| > 2^-13.1 while
// |log(1 + z)| < 2^-12.8, and log1p_small's error grows to 2^-76.7 of the result at worst.
DoubleDouble log_fast(double x) {
    std::uint64_t bits = bits_of(x);
    int exponent = static_cast<int>(bits >> 52) - 1023;
    if ((bits >> 52) == 0) { // subnormal: scale by 2^54, exactly
        bits = bits_of(x * 0x1p54);
        exponent = static_cast<int>(bits >> 52) - 1023 - 54;
    }
    const std::uint64_t fraction = bits & kFractionMask;
    const int bin = static_cast<int>(fraction >> 44);
    const LogBin& coarse = kLogBins[bin];
    if (bin >= kFirstHalvedBin) {
        ++exponent;
    }
    // M k1 < 2^62; z1 = (M k1 - 2^61) / 2^61 with |M k1 - 2^61| < 2^53.
    const std::uint64_t scaled = (fraction | kHiddenBit) * static_cast<std::uint64_t>(coarse.k);
    const std::int64_t z1 = static_cast<std::int64_t>(scaled) - (std::int64_t{1} << 61);
    // j + 16 = floor((z1 + 2^48) / 2^49) + 16, from a positive numerator.
    const auto step = static_cast<std::size_t>(
        static_cast<std::uint64_t>(z1 + (std::int64_t{1} << 48) + (std::int64_t{1} << 53)) >> 49);
    const LogBin& fine = kLogFineBins[step];
    // M k1 k2 - 2^74 = (high k2 - 2^42) 2^32 + low k2, with M k1 = high 2^32 + low.
    const auto k2 = static_cast<std::uint64_t>(fine.k);
    const std::int64_t high =
        static_cast<std::int64_t>((scaled >> 32) * k2) - (std::int64_t{1} << 42);
    const std::int64_t numerator =
        high * (std::int64_t{1} << 32) + static_cast<std::int64_t>((scaled & 0xFFFFFFFFU) * k2);
    DoubleDouble z = exact_double_double(numerator);
    z.hi *= 0x1p-74;
    z.lo *= 0x1p-74;
    const DoubleDouble p = log1p_small(z);

    const auto e = static_cast<double>(exponent);
    const DoubleDouble first = two_sum(e * kLn2Hi, coarse.t_hi);
    const DoubleDouble second = two_sum(first.hi, fine.t_hi);
    const DoubleDouble third = two_sum(second.hi, p.hi);
    const double lo = (first.lo + second.lo) + third.lo +
                      (e * kLn2Lo + coarse.t_lo + fine.t_lo + p.lo);
    return fast_two_sum(third.hi, lo);
}

DoubleDouble log10_fast(double x) { return decimal_of(log_fast(x)); }

DoubleDouble log_of_small_odd(double x) {
    DoubleDouble value{0.0, 0.0};
    small_odd_logarithm(x, value);
    return value;
}

double rounded_log_of_small_odd(double x, bool decimal) {
    DoubleDouble value{};
    double rounded = 0.0;
    if (small_odd_logarithm(x, value) &&
        rounds_alike(decimal ? decimal_of(value) : value, kLogSmallOddError, rounded)) {
        return rounded;
    }
    return std::numeric_limits<double>::quiet_NaN();
}

// Reduction: N = round(t 4096 / log 2) (|N| < 2^22), r = t - N log(2) / 4096, |r| < 2^-13.5;
// exp t = 2^(N / 4096) exp r with N = 4096 scale + 64 i + j, 2^(i/64) and 2^(j/4096) from
// tables. log(2) / 4096 = step1 + step2 + step3, the first two of 31 bits: N step1 and
// N step2 are exact, and t.hi - N step1 is exact by Sterbenz's lemma (t.hi is within a factor
// 2 of N step1 when N != 0). r is then known to about 2^-96 absolute.
//
// exp r = 1 + r + r^2/2 + ... + r^5/120 + (below |r|^6/720 < 2^-90); the terms from r^2 on
// (below 2^-27) in double, off by less than 2^-79. The products with the table values are
// double-double (2^-102 each).
DoubleDouble exp_fast(DoubleDouble t, int& scale) {
    const double n_real = t.hi * kExpScale;
    const auto n = static_cast<std::int64_t>(n_real + (n_real >= 0 ? 0.5 : -0.5));
    const auto n_double = static_cast<double>(n);
    const double r1 = t.hi - n_double * kExpStep1;
    DoubleDouble r = two_sum(r1, -(n_double * kExpStep2));
    r.lo += t.lo - n_double * kExpStep3;
    const double h = r.hi;
    const double q =
        h * h * (0.5 + h * (1.0 / 6 + h * (1.0 / 24 + h * (1.0 / 120))));
    const DoubleDouble expm1 = fast_two_sum(h, r.lo + (q + h * r.lo)); // exp r - 1

    const std::int64_t shifted = n + (std::int64_t{2048} << 12); // positive for every |n| < 2^23
    scale = static_cast<int>(shifted >> 12) - 2048;
    const DoubleDouble table =
        multiply(kExp2Coarse[(shifted >> 6) & 63], kExp2Fine[shifted & 63]);
    const DoubleDouble product = two_product(table.hi, expm1.hi);
    const DoubleDouble sum = fast_two_sum(table.hi, product.hi);
    const double lo = sum.lo + (table.lo + product.lo + table.hi * expm1.lo + table.lo * expm1.hi);
    return fast_two_sum(sum.hi, lo);
}

} // namespace orv::math
