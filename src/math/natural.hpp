#pragma once

// Natural numbers of any size, for the two places that need exact big arithmetic: the slow,
// precise path of the math functions and the shortest decimal text of a double. Plain
// schoolbook algorithms on 32-bit limbs; these paths are rare or short, so clarity wins over
// speed. Only integer operations: the results are the same on every platform.
#include <cstdint>
#include <vector>

namespace orv::math {

class Natural {
public:
    Natural() = default;
    explicit Natural(std::uint64_t value);
    /// 2^exponent (exponent >= 0).
    static Natural power_of_two(int exponent);

    bool is_zero() const { return limbs_.empty(); }
    /// The number of bits (0 for zero).
    int bit_length() const;
    /// Bits [from, from + count) as an integer, count <= 64 (bits beyond the top are 0).
    std::uint64_t bits(int from, int count) const;
    /// Whether any bit below `index` is set.
    bool any_bit_below(int index) const;

    Natural& operator+=(const Natural& other);
    /// *this - other; *this must not be smaller.
    Natural& operator-=(const Natural& other);
    Natural& multiply_small(std::uint32_t factor);
    /// floor(*this / divisor); returns the remainder. divisor > 0.
    std::uint32_t divide_small(std::uint32_t divisor);
    Natural& shift_left(int count);
    /// floor(*this / 2^count).
    Natural& shift_right(int count);

    friend Natural operator*(const Natural& a, const Natural& b);
    /// -1, 0 or 1 as a is below, equal to or above b.
    friend int compare(const Natural& a, const Natural& b);

private:
    void trim();
    std::vector<std::uint32_t> limbs_; // little-endian, no zero limb at the top
};

inline Natural operator+(Natural a, const Natural& b) { return a += b; }
inline Natural operator-(Natural a, const Natural& b) { return a -= b; }
inline bool operator<(const Natural& a, const Natural& b) { return compare(a, b) < 0; }
inline bool operator<=(const Natural& a, const Natural& b) { return compare(a, b) <= 0; }
inline bool operator==(const Natural& a, const Natural& b) { return compare(a, b) == 0; }

} // namespace orv::math
