// log and exp in double-double arithmetic. Error bounds are relative unless stated; u = 2^-53
// is the unit roundoff.
#include "fast_paths.hpp"

#include <cstdint>

#include "float_bits.hpp"

namespace orv::math {

namespace {

/// A bin of the reduction of log: R = k / 512 and -log R (-log 2R in the halved bins).
struct LogBin {
    int k;
    double t_hi;
    double t_lo;
};

#include "tables.inc"

constexpr std::uint64_t kFractionMask = (std::uint64_t{1} << 52) - 1;
constexpr std::uint64_t kHiddenBit = std::uint64_t{1} << 52;

/// log(1 + z) for |z| < 2^-8, z exact, as hi + lo to a relative 2^-76.
///
/// Taylor's series z - z^2/2 + z^3/3 - ... to z^10/10; the rest is below |z|^11/11 < 2^-91
/// |z|. The first three terms are carried in double-double: z^2 = a + b exactly (TwoProduct),
/// z^3 = a z + b z and z^3 / 3 to about 2^-100. The tail z^4 (-1/4 + z/5 - ...) is plain
/// double arithmetic: it is below 2^-26 |z| and computed to about 3u of its size, so it adds
/// at most 2^-77 |z|. The sum of the parts, largest first, adds rounding errors near 2^-104.
/// log(1 + z) >= |z| (1 - 2^-9), so the bound holds relative to the result too.
DoubleDouble log1p_small(double z) {
    const DoubleDouble square = two_product(z, z);
    DoubleDouble cube = two_product(square.hi, z);
    cube.lo += square.lo * z;
    const DoubleDouble third = multiply(cube, kOneThird); // z^3 / 3
    const double tail =
        (square.hi * square.hi) *
        (-0.25 + z * (0.2 + z * (-1.0 / 6 + z * (1.0 / 7 + z * (-0.125 + z * (1.0 / 9 - z * 0.1))))));
    DoubleDouble sum = fast_two_sum(z, -0.5 * square.hi); // |z| > |z^2 / 2|
    const DoubleDouble with_third = two_sum(sum.hi, third.hi);
    const double lo = sum.lo + with_third.lo + (third.lo - 0.5 * square.lo + tail);
    return fast_two_sum(with_third.hi, lo);
}

} // namespace

// Reduction: x = 2^E m, m in [1, 2) with significand M = m 2^52. The top 8 bits of the
// fraction pick a bin and its R = k / 512, chosen so that z = m R - 1 satisfies |z| < 2^-8.
// Then log x = E log 2 - log R + log(1 + z), and in the bins of m >= sqrt(2) (from 106 on)
// log x = (E + 1) log 2 - log(2R) + log(1 + z), so that x just below 1 (m near 2, R = 1/2)
// meets no cancellation: E + 1 = 0 and -log(2R) = 0, as E = 0 and R = 1 for x just above 1.
//
// z exactly: m R - 1 = (M k - 2^61) / 2^61 in integers; |M k - 2^61| < 2^53, so it converts
// to a double exactly.
//
// Error: log2 = kLn2Hi + kLn2Lo + d with |d| < 2^-96; kLn2Hi has 42 bits and |E| < 2^11, so
// E kLn2Hi is exact and E (kLn2Lo + d) is off by less than 2^-84. -log R is a table
// double-double (2^-106). With E' (the E used) != 0, |log x| > log(2)/2, so those add 2^-82.
// With E' = 0 and R != 1, |log x| > 2^-9 and |log(1 + z)| < 2^-8, so log1p_small's 2^-76
// becomes 2^-75 of the result at worst; with R = 1 (or 1/2) the result is log1p_small's.
DoubleDouble log_fast(double x) {
    std::uint64_t bits = bits_of(x);
    int exponent = static_cast<int>(bits >> 52) - 1023;
    if ((bits >> 52) == 0) { // subnormal: scale by 2^54, exactly
        bits = bits_of(x * 0x1p54);
        exponent = static_cast<int>(bits >> 52) - 1023 - 54;
    }
    const std::uint64_t fraction = bits & kFractionMask;
    const int bin = static_cast<int>(fraction >> 44);
    const LogBin& entry = kLogBins[bin];
    if (bin >= kFirstHalvedBin) {
        ++exponent;
    }
    const auto significand = static_cast<std::int64_t>(fraction | kHiddenBit);
    const double z =
        static_cast<double>(significand * entry.k - (std::int64_t{1} << 61)) * 0x1p-61;
    const DoubleDouble p = log1p_small(z);
    const auto e = static_cast<double>(exponent);
    const DoubleDouble head = two_sum(e * kLn2Hi, entry.t_hi);
    const DoubleDouble sum = two_sum(head.hi, p.hi);
    const double lo = head.lo + sum.lo + (e * kLn2Lo + entry.t_lo + p.lo);
    return fast_two_sum(sum.hi, lo);
}

DoubleDouble log10_fast(double x) {
    // The product adds about 2^-102 (the constant's and the products' rounding).
    const DoubleDouble product = multiply(log_fast(x), kInverseLn10);
    return fast_two_sum(product.hi, product.lo);
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
