#pragma once

// Double-double arithmetic from IEEE additions and multiplications alone: a value hi + lo with
// |lo| <= ulp(hi) / 2 carries about 106 bits. The error-free transformations below are exact
// under round to nearest, barring overflow (Knuth's TwoSum, Dekker's Fast2Sum, Veltkamp's
// split and Dekker's TwoProduct; Muller et al., Handbook of Floating-Point Arithmetic, 4.3
// and 4.4). No fused multiply-add: these files are compiled with -ffp-contract=off, so
// a * b + c is rounded twice everywhere, as the error analysis assumes.

namespace orv::math {

struct DoubleDouble {
    double hi;
    double lo;
};

/// a + b = s + e exactly, for any a and b.
inline DoubleDouble two_sum(double a, double b) {
    const double s = a + b;
    const double b_part = s - a;
    const double a_part = s - b_part;
    return {s, (a - a_part) + (b - b_part)};
}

/// a + b = s + e exactly, when a == 0 or |a| >= |b|.
inline DoubleDouble fast_two_sum(double a, double b) {
    const double s = a + b;
    return {s, b - (s - a)};
}

/// a = hi + lo exactly, each half with at most 26 significant bits (|a| < 2^995).
inline DoubleDouble split(double a) {
    constexpr double kSplitter = 134217729.0; // 2^27 + 1
    const double c = kSplitter * a;
    const double hi = c - (c - a);
    return {hi, a - hi};
}

/// a * b = p + e exactly (|a|, |b| < 2^995 and no underflow of e).
inline DoubleDouble two_product(double a, double b) {
    const double p = a * b;
    const DoubleDouble as = split(a);
    const DoubleDouble bs = split(b);
    const double e =
        ((as.hi * bs.hi - p) + as.hi * bs.lo + as.lo * bs.hi) + as.lo * bs.lo;
    return {p, e};
}

/// (a.hi + a.lo) * (b.hi + b.lo) to a relative 2^-102, not normalised.
inline DoubleDouble multiply(DoubleDouble a, DoubleDouble b) {
    DoubleDouble p = two_product(a.hi, b.hi);
    p.lo += a.hi * b.lo + a.lo * b.hi;
    return p;
}

/// Whether rounding hi + lo - eps and hi + lo + eps to nearest gives the same double: then it
/// is the correctly rounded value of every real within eps of hi + lo (rounding is monotonic).
/// Needs |lo| <= ulp(hi) and eps a little above the true error bound (the subtraction and
/// addition in lo +- eps round by at most 2^-52 |lo|).
inline bool rounds_alike(DoubleDouble v, double eps, double& rounded) {
    const double below = v.hi + (v.lo - eps);
    const double above = v.hi + (v.lo + eps);
    rounded = below;
    return below == above;
}

} // namespace orv::math
