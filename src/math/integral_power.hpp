#pragma once

// Whole powers whose result is a double, found with a few integer and IEEE operations: the
// commonest powers of a level (3^4, 27^3, 100^7, 2^-3). The result is exact, or one correctly
// rounded division of exact values, so it is the correctly rounded result that the general
// path would return, at a small part of its cost.

namespace orv::math {

inline constexpr int kLargestIntegralPower = 64; // X >= 3: X^34 > 2^53

/// x^n for a positive finite x and 2 <= |n| <= kLargestIntegralPower, when x^|n| is a normal
/// double: that double for n > 0, and 1 / x^|n| for n < 0. False otherwise: the general path
/// takes it.
bool integral_power(double x, int n, double& result);

} // namespace orv::math
