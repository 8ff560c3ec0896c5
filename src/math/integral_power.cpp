// x = X 2^E with X odd (x normal), so x^n = X^n 2^(E n). X^n is built by multiplications of
// whole numbers below 2^53 in doubles: each is exact as long as its rounded product stays
// below 2^53 (rounding is monotonic and 2^53 is a double, so a product that reaches 2^53
// rounds to 2^53 or more and ends the search). Then X^n is a double, and so is x^n when its
// exponent is that of a normal double; for y < 0, x^y = 1 / x^|y| exactly, and one IEEE
// division rounds it correctly (subnormal results included).
#include "integral_power.hpp"

#include <cstdint>

#include "float_bits.hpp"

namespace orv::math {

namespace {

/// value * 2^shift for a normal double value, when the result is a normal double too.
bool scaled_normal(double value, std::int64_t shift, double& result) {
    const std::uint64_t bits = bits_of(value);
    const std::int64_t biased = static_cast<std::int64_t>(bits >> 52) + shift;
    if (biased < 1 || biased > 2046) {
        return false;
    }
    result = double_of(bits + static_cast<std::uint64_t>(shift * (std::int64_t{1} << 52)));
    return true;
}

} // namespace

bool integral_power(double x, int n, double& result) {
    const int count = n < 0 ? -n : n;
    OddPart part{};
    if (!odd_part(x, part)) { // a subnormal x
        return false;
    }
    const auto odd = static_cast<double>(part.odd); // exact: below 2^53
    double power = odd;
    for (int i = 1; i < count && odd != 1.0; ++i) { // 1 for a power of two
        power *= odd;
        if (power >= 0x1p53) {
            return false;
        }
    }
    double magnitude = 0.0;
    if (!scaled_normal(power, part.exponent * count, magnitude)) {
        return false;
    }
    result = n > 0 ? magnitude : 1.0 / magnitude;
    return true;
}

} // namespace orv::math
