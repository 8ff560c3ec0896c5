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

/// A number with every digit, as Python's repr writes a float and the package's reports keep
/// it: the shortest decimal text that reads back to the same double, in fixed notation for
/// decimal exponents from -4 to 15 with at least one digit after the point ("13.0", "0.0001",
/// "-0.0"), in exponent form outside with at least two exponent digits ("1e-05", "1e+16");
/// "NaN", "inf" and "-inf" as readable_number writes them.
std::string exact_number(double value);

} // namespace orv
