#pragma once

// The precise path: Ziv's strategy in exact big-integer fixed-point arithmetic. Each attempt
// computes the result to a working precision with a proven error bound and rounds both ends
// of the interval; when they round alike that is the correctly rounded result, otherwise the
// precision doubles (128, 256, ... 2048 bits). It runs only when the fast path cannot decide:
// for log and log10 about once in 4 million calls; for pow once in 10^4 calls on wide
// random inputs, and once in 10^3 on a level's whole numbers, nearly all of them powers such
// as 477^6 that lie exactly halfway between two doubles, which exact_power settles at once.

namespace orv::math {

/// log x (or log10 x when `decimal`) correctly rounded, for a positive finite x != 1;
/// `estimate` is the fast path's value (it sets the working scale).
double log_precise(double x, bool decimal, double estimate);

/// x^y correctly rounded for a positive finite x != 1 and a finite y != 0, |y log x| <= 746.
double pow_precise(double x, double y);

} // namespace orv::math
