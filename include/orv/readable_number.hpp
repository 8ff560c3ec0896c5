#pragma once

#include <string>

namespace orv {

/// A number as a person reads it in the step texts: at most six significant digits, rounded
/// half away from zero on the double's exact value; whole numbers below 10^15 with all their
/// digits and no decimal point ("13"); fixed notation for decimal exponents from -4 to 5 and
/// exponent form outside ("1.5e+20", "1e-7"); "NaN", "inf" and "-inf". A zero reads "0"
/// whatever its sign, unless `signed_zero` asks for "-0" (the base of a power, say, where
/// the sign decides the result). The package's own formatter gives the same texts.
std::string readable_number(double value, bool signed_zero = false);

} // namespace orv
