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

/// exp(t.hi + t.lo) for |t.hi| <= 708 as (hi + lo) * 2^scale, hi + lo in [0.99, 2.01], with a
/// relative error below 2^-80 (kExpFastError holds the margin).
DoubleDouble exp_fast(DoubleDouble t, int& scale);

inline constexpr double kExpFastError = 0x1p-77;

} // namespace orv::math
