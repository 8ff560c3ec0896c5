// pow: C99 Annex F's special cases, then |x|^y = exp(y log |x|) by the fast paths, rounded when
// the error bound allows, otherwise by the precise path; the sign last.
#include <cmath>
#include <cstdint>
#include <limits>

#include "fast_paths.hpp"
#include "float_bits.hpp"
#include "integral_power.hpp"
#include "orv/math.hpp"
#include "precise.hpp"

namespace orv::math {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

bool is_integer(double y) { return std::isfinite(y) && std::trunc(y) == y; }

/// Whether y is an odd integer (every double from 2^53 on is even).
bool is_odd_integer(double y) {
    return is_integer(y) && std::fabs(y) < 0x1p53 &&
           (static_cast<std::int64_t>(std::fabs(y)) & 1) == 1;
}

/// The special cases of pow; true with the result in `result`.
bool special_power(double x, double y, double& result) {
    if (y == 0.0 || x == 1.0) { // even for a NaN
        result = 1.0;
    } else if (std::isnan(x) || std::isnan(y)) {
        result = std::numeric_limits<double>::quiet_NaN();
    } else if (std::isinf(y)) {
        const double size = std::fabs(x);
        result = size == 1.0 ? 1.0 : (size > 1.0) == (y > 0.0) ? kInfinity : 0.0;
    } else if (x == 0.0) {
        const bool odd = is_odd_integer(y);
        result = y < 0.0 ? (odd ? std::copysign(kInfinity, x) : kInfinity) : (odd ? x : 0.0);
    } else if (std::isinf(x)) {
        const double size = y > 0.0 ? kInfinity : 0.0;
        result = x < 0.0 && is_odd_integer(y) ? -size : size;
    } else if (x < 0.0 && !is_integer(y)) {
        result = std::numeric_limits<double>::quiet_NaN();
    } else {
        return false;
    }
    return true;
}

/// |x|^y for a positive finite x != 1 and a finite y != 0.
///
/// t = y log x from log_fast (relative error 2^-76.7, so t is off by |t| 2^-76.7, plus
/// 2^-104 |t| from the products) and exp_fast (2^-80) give |x|^y to a relative |t| 2^-75 +
/// 2^-77 with margin. When x is a whole number or the like, log x comes from
/// log_of_small_odd instead, off by at most 2^-82.9 absolute: t is then off by |y| 2^-82.9
/// plus the products' 2^-104 |t| <= 2^-94.5 |y| (|log x| < 745), below |y| 2^-80 with margin.
/// Far beyond the range the rough product decides: t > 710 overflows (exp t > DBL_MAX + half
/// an ulp) and t < -746 underflows to 0 (exp t < 2^-1075).
/// (Kept out of line: inlined into pow, its locals would be saved around every call there.)
[[gnu::noinline]] double power_of_magnitude(double x, double y) {
    DoubleDouble log_x = log_of_small_odd(x);
    const bool from_table = log_x.hi != 0.0;
    if (!from_table) {
        log_x = log_fast(x);
    }
    const double rough = y * log_x.hi;
    if (rough > 710.0) {
        return kInfinity;
    }
    if (rough < -746.0) {
        return 0.0;
    }
    // Results near the ends of the range (subnormal, or within 2^-0.6 of overflow) go to the
    // precise path, which rounds them at their own precision.
    if (std::fabs(rough) <= 708.0) {
        DoubleDouble t = two_product(y, log_x.hi); // |y| < 2^64 here
        t.lo += y * log_x.lo;
        t = fast_two_sum(t.hi, t.lo);
        int scale = 0;
        const DoubleDouble power = exp_fast(t, scale);
        const double t_error = from_table ? std::fabs(y) * kLogSmallOddError
                                          : std::fabs(t.hi) * kLogFastError;
        const double eps = power.hi * (t_error + kExpFastError);
        double rounded = 0.0;
        if (rounds_alike(power, eps, rounded)) {
            return rounded * power_of_two(scale);
        }
    }
    return pow_precise(x, y);
}

} // namespace

double pow(double x, double y) {
    // The common case first: a positive finite base other than 1 and a finite exponent other
    // than 0 have no special case and no sign to settle.
    const bool plain = x > 0.0 && x < kInfinity && x != 1.0 && y != 0.0 && std::fabs(y) < kInfinity;
    double result = 0.0;
    if (!plain && special_power(x, y, result)) {
        return result;
    }
    // Squares, square roots and reciprocals are one correctly rounded IEEE operation, and whole
    // powers whose result is a double (3^4, 100^7, 2^-3) are found exactly (integral_power.hpp):
    // the commonest powers of a level, with the same value as the general path at a fraction of
    // its cost. (x > 0 for the root: the special cases took the zeros and the negative bases.)
    double size = 0.0;
    // (The comparison first: the conversion of a larger or NaN y would be undefined.)
    const bool small_integer =
        std::fabs(y) <= kLargestIntegralPower && static_cast<double>(static_cast<int>(y)) == y;
    if (small_integer) {
        if (y == 2.0) {
            return x * x;
        }
        if (y == -1.0) {
            return 1.0 / x;
        }
        if (y == 1.0) {
            return x;
        }
        if (!integral_power(std::fabs(x), static_cast<int>(y), size)) {
            size = power_of_magnitude(std::fabs(x), y);
        }
    } else if (y == 0.5) {
        return std::sqrt(x);
    } else {
        size = power_of_magnitude(std::fabs(x), y);
    }
    return x < 0.0 && is_odd_integer(y) ? -size : size;
}

} // namespace orv::math
