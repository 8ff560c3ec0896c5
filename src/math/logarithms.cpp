// log and log10: the fast double-double path, rounded when its error bound allows, otherwise
// the precise path.
#include <cmath>
#include <limits>

#include "fast_paths.hpp"
#include "orv/math.hpp"
#include "precise.hpp"

namespace orv::math {

namespace {

/// The special cases of log and log10: true with the result in `result`.
bool special_logarithm(double x, double& result) {
    if (std::isnan(x) || x < 0.0) { // -inf included
        result = std::numeric_limits<double>::quiet_NaN();
    } else if (x == 0.0) {
        result = -std::numeric_limits<double>::infinity();
    } else if (std::isinf(x)) {
        result = x;
    } else if (x == 1.0) {
        result = 0.0;
    } else {
        return false;
    }
    return true;
}

double rounded_logarithm(double x, bool decimal) {
    double result = 0.0;
    if (special_logarithm(x, result)) {
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
