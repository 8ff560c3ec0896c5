#pragma once

// The fast paths: log and exp in double-double arithmetic with proven error bounds, good to
// about 2^-76 (log) and 2^-90 (exp). The public functions round their result with
// rounds_alike and fall back to the precise path (precise.hpp) when it cannot decide.
#include "double_double.hpp"

namespace orv::math {

/// log x for a positive finite x (normal or subnormal, x != 1 for a relative bound): hi + lo
/// with |hi + lo - log x| <= 2^-76.7 |log x|.
DoubleDouble log_fast(double x);

/// log10 x, as log_fast (the bound below covers both).
DoubleDouble log10_fast(double x);

/// The relative error bound of log_fast and log10_fast used in the rounding tests, with a
/// margin of 3 over the proven 2^-76.7 (measured: 2^-79 over 300,000 inputs).
inline constexpr double kLogFastError = 0x1p-75;

/// log x for x = X 2^E with X odd and below 256 (the whole numbers to 255, and those times a
/// power of two: 100, 0.5, 1.5), from a table of log X: hi + lo within 2^-82.9 of log x,
/// absolute; |log x| >= log(256/255) > 2^-8.1 for such an x != 1. For any other x (and x = 1),
/// 0 + 0, which no such log x is.
DoubleDouble log_of_small_odd(double x);

/// The absolute error bound of log_of_small_odd used in the rounding tests, with a margin of
/// 7 over the proven 2^-82.9; it covers the value times 1 / log 10 as well.
inline constexpr double kLogSmallOddError = 0x1p-80;

/// log x (log10 x when `decimal`) correctly rounded for such an x, from log_of_small_odd:
/// NaN when x is not of that kind or the rounding test cannot decide.
double rounded_log_of_small_odd(double x, bool decimal);

/// exp(t.hi + t.lo) for |t.hi| <= 708 as (hi + lo) * 2^scale, hi + lo in [0.99, 2.01], with a
/// relative error below 2^-80 (kExpFastError holds the margin).
DoubleDouble exp_fast(DoubleDouble t, int& scale);

inline constexpr double kExpFastError = 0x1p-77;

} // namespace orv::math
