#pragma once

// The engine's own logarithms and power, the same bits in every build and on every platform.
// A platform's math library may round the last digit either way, and a root that gives 2 on
// one machine and 1.9999999999999998 on another would make a puzzle solvable on one only. These
// are written with IEEE basic operations alone (+, -, *, /, sqrt, integer operations; no fused
// multiply-add, and compiled with -ffp-contract=off so none is formed), and correctly rounded
// (round to nearest): log and log10 for every double; pow too, except that its last resort
// stops at 2048 bits of precision and then keeps the nearest double of its approximation (no
// input checked came near that; bench/README.md gives the measured shares).
// Their special cases are those of C99 Annex F, as glibc gives them. See src/math/.
#include <string>

namespace orv::math {

/// The natural logarithm, correctly rounded. log(1) = +0, log(+-0) = -inf, log(+inf) = +inf,
/// NaN for a negative x or a NaN.
double log(double x);

/// The decimal logarithm, correctly rounded: log10(10^k) = k exactly. Special cases as log.
double log10(double x);

/// x to the power y, correctly rounded (exact whenever the result is a double, such as
/// pow(3, 4) = 81 or pow(2, -3) = 0.125; a result halfway between two doubles goes to the even
/// one). pow(x, +-0) = 1 and pow(1, y) = 1 even for a NaN;
/// a negative x gives a signed result for an integer y and NaN for any other finite y;
/// overflow gives +-inf and underflow +-0 or a subnormal; the rest of C99 Annex F's table
/// holds as well.
double pow(double x, double y);

/// The shortest text that reads back as the same double, as std::to_chars writes it: the
/// fixed or the scientific form, whichever is shorter ("2.5", "-9", "1e-10", "1e+16"),
/// "inf", "-inf", "nan", "-0".
std::string shortest_text(double value);

} // namespace orv::math
