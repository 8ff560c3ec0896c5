// Numbers for people, from the exact decimal value of the double.
#include "orv/readable_number.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "../levels/problem_words.hpp"

namespace orv {

namespace {

constexpr int kReadableDigits = 6;
/// Whole numbers below this keep every digit; every such double is exact.
constexpr double kWholeLimit = 1e15;
/// Fixed notation for decimal exponents in [kSmallestFixedExponent, kReadableDigits).
constexpr int kSmallestFixedExponent = -4;

/// A natural number in base 10^9, least significant limb first.
class Decimal {
public:
    explicit Decimal(std::uint64_t value) {
        do {
            limbs_.push_back(static_cast<std::uint32_t>(value % kBase));
            value /= kBase;
        } while (value != 0);
    }

    /// Multiplies by `factor` (below 2^31, so that a limb's product fits in 64 bits).
    void multiply(std::uint32_t factor) {
        std::uint64_t carry = 0;
        for (std::uint32_t& limb : limbs_) {
            const std::uint64_t product = std::uint64_t{limb} * factor + carry;
            limb = static_cast<std::uint32_t>(product % kBase);
            carry = product / kBase;
        }
        while (carry != 0) {
            limbs_.push_back(static_cast<std::uint32_t>(carry % kBase));
            carry /= kBase;
        }
    }

    /// Multiplies by base^count, in factors that stay below 2^31.
    void multiply_power(std::uint32_t base, int count, std::uint32_t chunk, int per_chunk) {
        for (; count >= per_chunk; count -= per_chunk) {
            multiply(chunk);
        }
        for (; count > 0; --count) {
            multiply(base);
        }
    }

    /// The decimal digits, most significant first, without leading zeros.
    std::string digits() const {
        std::string text = std::to_string(limbs_.back());
        for (auto limb = limbs_.rbegin() + 1; limb != limbs_.rend(); ++limb) {
            const std::string part = std::to_string(*limb);
            text.append(9 - part.size(), '0');
            text += part;
        }
        return text;
    }

private:
    static constexpr std::uint64_t kBase = 1000000000;
    std::vector<std::uint32_t> limbs_;
};

/// The exact decimal digits of a finite, positive `value` and the decimal exponent of the
/// first of them (value = 0.d1d2d3... * 10^(exponent + 1)).
std::string exact_digits(double value, int& exponent) {
    // value = mantissa * 2^power exactly, with a 53-bit integer mantissa.
    int binary_exponent = 0;
    const double fraction = std::frexp(value, &binary_exponent);
    auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
    int power = binary_exponent - 53;
    Decimal exact(mantissa);
    int decimal_shift = 0;
    if (power >= 0) {
        exact.multiply_power(2, power, 1U << 30, 30);
    } else {
        // m / 2^k = m * 5^k / 10^k.
        exact.multiply_power(5, -power, 1220703125U, 13);
        decimal_shift = power;
    }
    std::string digits = exact.digits();
    exponent = static_cast<int>(digits.size()) - 1 + decimal_shift;
    return digits;
}

std::string without_trailing_zeros(std::string text) {
    while (!text.empty() && text.back() == '0') {
        text.pop_back();
    }
    return text;
}

/// `value` rounded half away from zero to kReadableDigits significant digits.
std::string rounded(double value) {
    int exponent = 0;
    std::string digits = exact_digits(std::fabs(value), exponent);
    digits.resize(std::max<std::size_t>(digits.size(), kReadableDigits + 1), '0');
    const bool up = digits[kReadableDigits] >= '5';
    digits.resize(kReadableDigits);
    if (up) {
        int at = kReadableDigits - 1;
        while (at >= 0 && digits[static_cast<std::size_t>(at)] == '9') {
            digits[static_cast<std::size_t>(at--)] = '0';
        }
        if (at < 0) {
            digits.insert(digits.begin(), '1');
            digits.pop_back();
            ++exponent;
        } else {
            ++digits[static_cast<std::size_t>(at)];
        }
    }
    const std::string sign = value < 0 ? "-" : "";
    if (exponent >= kSmallestFixedExponent && exponent < kReadableDigits) {
        const auto whole = static_cast<std::size_t>(exponent + 1);
        std::string fixed =
            exponent < 0 ? "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits
                         : digits.substr(0, whole) + "." + digits.substr(whole);
        fixed = without_trailing_zeros(fixed);
        if (fixed.back() == '.') {
            fixed.pop_back();
        }
        return sign + fixed;
    }
    const std::string shown = without_trailing_zeros(digits);
    std::string mantissa = shown.substr(0, 1);
    if (shown.size() > 1) {
        mantissa += "." + shown.substr(1);
    }
    return sign + mantissa + "e" + (exponent < 0 ? "-" : "+") + std::to_string(std::abs(exponent));
}

} // namespace

std::string exact_number(double value) {
    return std::isfinite(value) ? levels::python_float_text(value) : readable_number(value);
}

std::string readable_number(double value, bool signed_zero) {
    if (std::isnan(value)) {
        return "NaN";
    }
    if (std::isinf(value)) {
        return value > 0 ? "inf" : "-inf";
    }
    if (value == 0.0) {
        return signed_zero && std::signbit(value) ? "-0" : "0";
    }
    if (std::trunc(value) == value && std::fabs(value) < kWholeLimit) {
        return std::to_string(static_cast<std::int64_t>(value));
    }
    return rounded(value);
}

} // namespace orv
