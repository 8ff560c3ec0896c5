// The shortest decimal text of a double that reads back as the same double, in the plain form
// of std::to_chars (which libc++ 14 lacks for doubles): the fixed or the scientific form,
// whichever is shorter, fixed on a tie; "inf", "-inf", "0", "-0".
//
// Digits by the free-format algorithm of Steele & White as Burger & Dybvig state it ("Printing
// Floating-Point Numbers Quickly and Accurately", 1996), in exact big-integer arithmetic. With
// v = f * 2^e, every real strictly between the midpoints to v's neighbours reads back as v,
// and so do the midpoints themselves when f is even (reading rounds half to even). Scaled so
// that v = r / s, the gaps to those midpoints are m_minus / s and m_plus / s. Digits are
// generated one by one (r = r * 10 mod s) until the digits so far, or the same with the last
// one raised by one, lie within the gaps; of the two the nearer to v is kept, and on an exact
// tie the even digit (as std::to_chars rounds).
#include <string>

#include "float_bits.hpp"
#include "natural.hpp"
#include "orv/math.hpp"

namespace orv::math {

namespace {

/// The significant digits of a positive finite double and its decimal exponent: v = 0.DIGITS
/// * 10^exponent.
struct Digits {
    std::string digits;
    int exponent = 0;
};

/// The significand and binary exponent of a positive finite double: v = f * 2^e.
void split_double(double value, std::uint64_t& f, int& e) {
    const std::uint64_t bits = bits_of(value);
    const int biased = static_cast<int>((bits >> 52) & 0x7FF);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    f = biased == 0 ? fraction : fraction | (std::uint64_t{1} << 52);
    e = (biased == 0 ? 1 : biased) - 1075;
}

bool is_whole(double value) {
    std::uint64_t f = 0;
    int e = 0;
    split_double(value, f, e);
    return e >= 0 || (e > -64 && (f & ((std::uint64_t{1} << -e) - 1)) == 0);
}

/// The exact decimal digits of a whole positive double.
std::string whole_digits(double value) {
    std::uint64_t f = 0;
    int e = 0;
    split_double(value, f, e);
    Natural n(f);
    if (e >= 0) {
        n.shift_left(e);
    } else {
        n.shift_right(-e);
    }
    std::string reversed;
    do {
        std::uint32_t chunk = n.divide_small(1000000000U);
        for (int i = 0; i < 9 && (chunk != 0 || !n.is_zero()); ++i) {
            reversed += static_cast<char>('0' + chunk % 10);
            chunk /= 10;
        }
    } while (!n.is_zero());
    return std::string(reversed.rbegin(), reversed.rend());
}

struct Scaled {
    Natural r, s, m_plus, m_minus;
};

/// v = r / s with the half-gaps m_plus / s and m_minus / s to the neighbouring doubles.
Scaled scaled_value(std::uint64_t f, int e) {
    // The gap below is half the gap above at a power of two, except at the least normal value,
    // whose lower neighbour is a subnormal just as far away.
    const bool uneven_gaps = f == (std::uint64_t{1} << 52) && e > -1074;
    Scaled v;
    if (e >= 0) {
        v.m_minus = Natural::power_of_two(e);
        v.m_plus = uneven_gaps ? Natural::power_of_two(e + 1) : v.m_minus;
        v.r = Natural(f);
        v.r.shift_left(e + (uneven_gaps ? 2 : 1));
        v.s = Natural(uneven_gaps ? 4 : 2);
    } else {
        v.m_minus = Natural(1);
        v.m_plus = Natural(uneven_gaps ? 2 : 1);
        v.r = Natural(f << (uneven_gaps ? 2 : 1));
        v.s = Natural::power_of_two(-e + (uneven_gaps ? 2 : 1));
    }
    return v;
}

void multiply_by_power_of_ten(Natural& value, int power) {
    for (; power >= 9; power -= 9) {
        value.multiply_small(1000000000U);
    }
    for (; power > 0; --power) {
        value.multiply_small(10U);
    }
}

Digits shortest_digits(double value) {
    std::uint64_t f = 0;
    int e = 0;
    split_double(value, f, e);
    const bool inclusive = f % 2 == 0;
    Scaled v = scaled_value(f, e);

    // An estimate of k = ceil(log10 v) from the binary exponent that is never too high; the
    // loop below raises it to the least k with (r + m_plus) / s below 1 (or at most 1 when
    // the upper midpoint does not read back as v).
    int bit_count = 0;
    for (std::uint64_t rest = f; rest != 0; rest >>= 1) {
        ++bit_count;
    }
    const int binary_exponent = e + bit_count - 1; // 2^binary_exponent <= v
    int k = binary_exponent >= 0 ? binary_exponent * 30103 / 100000
                                 : -((-binary_exponent * 30103 + 99999) / 100000) - 1;
    if (k >= 0) {
        multiply_by_power_of_ten(v.s, k);
    } else {
        multiply_by_power_of_ten(v.r, -k);
        multiply_by_power_of_ten(v.m_plus, -k);
        multiply_by_power_of_ten(v.m_minus, -k);
    }
    const auto reaches_one = [inclusive](const Natural& r, const Natural& m, const Natural& s) {
        const int order = compare(r + m, s);
        return inclusive ? order >= 0 : order > 0;
    };
    while (reaches_one(v.r, v.m_plus, v.s)) {
        v.s.multiply_small(10U);
        ++k;
    }

    Digits out;
    out.exponent = k;
    for (;;) {
        v.r.multiply_small(10U);
        v.m_plus.multiply_small(10U);
        v.m_minus.multiply_small(10U);
        char digit = '0';
        while (v.s <= v.r) {
            v.r -= v.s;
            ++digit;
        }
        const int low_order = compare(v.r, v.m_minus);
        const bool low = inclusive ? low_order <= 0 : low_order < 0;
        const bool high = reaches_one(v.r, v.m_plus, v.s);
        if (!low && !high) {
            out.digits += digit;
            continue;
        }
        if (low && high) {
            const int order = compare(v.r + v.r, v.s);
            const bool raise = order > 0 || (order == 0 && (digit - '0') % 2 == 1);
            out.digits += raise ? static_cast<char>(digit + 1) : digit;
        } else {
            out.digits += high ? static_cast<char>(digit + 1) : digit;
        }
        return out;
    }
}

std::string scientific(const Digits& d) {
    std::string text(1, d.digits[0]);
    if (d.digits.size() > 1) {
        text += '.';
        text.append(d.digits, 1, std::string::npos);
    }
    const int power = d.exponent - 1;
    const int magnitude = power < 0 ? -power : power;
    text += power < 0 ? "e-" : "e+";
    if (magnitude < 10) {
        text += '0';
    }
    return text + std::to_string(magnitude);
}

std::string fixed(const Digits& d) {
    const int count = static_cast<int>(d.digits.size());
    if (d.exponent <= 0) {
        return "0." + std::string(static_cast<std::size_t>(-d.exponent), '0') + d.digits;
    }
    if (d.exponent >= count) {
        return d.digits + std::string(static_cast<std::size_t>(d.exponent - count), '0');
    }
    const auto split = static_cast<std::size_t>(d.exponent);
    return d.digits.substr(0, split) + "." + d.digits.substr(split);
}

} // namespace

std::string shortest_text(double value) {
    const bool negative = (bits_of(value) >> 63) != 0;
    const std::string sign = negative ? "-" : "";
    if (value != value) {
        return sign + "nan";
    }
    if (value == 0.0) {
        return sign + "0";
    }
    const double magnitude = negative ? -value : value;
    if (magnitude > 1.7976931348623157e308) {
        return sign + "inf";
    }
    const Digits digits = shortest_digits(magnitude);
    // A whole number's fixed form needs all its integer digits anyway, and then the closest
    // text of that length is the number itself, digit for digit (1e+23 but
    // 5088143117563430912).
    const std::string fixed_text = is_whole(magnitude) ? whole_digits(magnitude) : fixed(digits);
    const std::string scientific_text = scientific(digits);
    return sign + (fixed_text.size() <= scientific_text.size() ? fixed_text : scientific_text);
}

} // namespace orv::math
