// log and log10: whole numbers (and the like) from a table of logarithms, otherwise the fast
// double-double path, each rounded when its error bound allows, otherwise the precise path.
#include <cmath>
#include <limits>

#include "fast_paths.hpp"
#include "orv/math.hpp"
#include "precise.hpp"

namespace orv::math {

namespace {

/// The special cases of log and log10: NaN, 0, 1, +inf and the negative x.
double special_logarithm(double x) {
    if (std::isnan(x) || x < 0.0) { // -inf included
        return std::numeric_limits<double>::quiet_NaN();
    }
    if (x == 0.0) {
        return -std::numeric_limits<double>::infinity();
    }
    return x == 1.0 ? 0.0 : x; // +inf
}

double rounded_logarithm(double x, bool decimal) {
    if (!(x > 0.0 && x < std::numeric_limits<double>::infinity()) || x == 1.0) {
        return special_logarithm(x);
    }
    // Whole numbers and the like first: a table lookup instead of the reduction.
    double result = rounded_log_of_small_odd(x, decimal);
    if (result == result) {
        return result;
    }
    const DoubleDouble value = decimal ? log10_fast(x) : log_fast(x);
    if (rounds_alike(value, std::fabs(value.hi) * kLogFastError, result)) {
        return result;
    }
    return log_precise(x, decimal, value.hi);
}

} // namespace

double log(double x) { return rounded_logarithm(x, false); }

double log10(double x) { return rounded_logarithm(x, true); }

} // namespace orv::math
