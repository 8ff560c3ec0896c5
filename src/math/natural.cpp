#include "natural.hpp"

#include <algorithm>
#include <cstddef>

namespace orv::math {

namespace {

constexpr int kLimbBits = 32;

std::size_t limb_index(int bit) { return static_cast<std::size_t>(bit / kLimbBits); }

} // namespace

Natural::Natural(std::uint64_t value) {
    while (value != 0) {
        limbs_.push_back(static_cast<std::uint32_t>(value));
        value >>= kLimbBits;
    }
}

Natural Natural::power_of_two(int exponent) {
    Natural result(1);
    return result.shift_left(exponent);
}

int Natural::bit_length() const {
    if (limbs_.empty()) {
        return 0;
    }
    int top = 0;
    for (std::uint32_t limb = limbs_.back(); limb != 0; limb >>= 1) {
        ++top;
    }
    return static_cast<int>(limbs_.size() - 1) * kLimbBits + top;
}

std::uint64_t Natural::bits(int from, int count) const {
    std::uint64_t result = 0;
    for (int i = count - 1; i >= 0; --i) {
        const int bit = from + i;
        const std::size_t index = limb_index(bit);
        const std::uint32_t limb = index < limbs_.size() ? limbs_[index] : 0;
        result = (result << 1) | ((limb >> (bit % kLimbBits)) & 1U);
    }
    return result;
}

bool Natural::any_bit_below(int index) const {
    const std::size_t whole = std::min(limb_index(index), limbs_.size());
    for (std::size_t i = 0; i < whole; ++i) {
        if (limbs_[i] != 0) {
            return true;
        }
    }
    const int rest = index % kLimbBits;
    return whole < limbs_.size() && rest != 0 && (limbs_[whole] & ((1U << rest) - 1U)) != 0;
}

Natural& Natural::operator+=(const Natural& other) {
    limbs_.resize(std::max(limbs_.size(), other.limbs_.size()) + 1, 0);
    std::uint64_t carry = 0;
    for (std::size_t i = 0; i < limbs_.size(); ++i) {
        carry += limbs_[i];
        if (i < other.limbs_.size()) {
            carry += other.limbs_[i];
        }
        limbs_[i] = static_cast<std::uint32_t>(carry);
        carry >>= kLimbBits;
    }
    trim();
    return *this;
}

Natural& Natural::operator-=(const Natural& other) {
    std::int64_t borrow = 0;
    for (std::size_t i = 0; i < limbs_.size(); ++i) {
        std::int64_t difference = static_cast<std::int64_t>(limbs_[i]) - borrow;
        if (i < other.limbs_.size()) {
            difference -= other.limbs_[i];
        }
        borrow = difference < 0 ? 1 : 0;
        limbs_[i] = static_cast<std::uint32_t>(difference + (borrow << kLimbBits));
    }
    trim();
    return *this;
}

Natural& Natural::multiply_small(std::uint32_t factor) {
    std::uint64_t carry = 0;
    for (std::uint32_t& limb : limbs_) {
        carry += static_cast<std::uint64_t>(limb) * factor;
        limb = static_cast<std::uint32_t>(carry);
        carry >>= kLimbBits;
    }
    if (carry != 0) {
        limbs_.push_back(static_cast<std::uint32_t>(carry));
    }
    trim();
    return *this;
}

std::uint32_t Natural::divide_small(std::uint32_t divisor) {
    std::uint64_t remainder = 0;
    for (std::size_t i = limbs_.size(); i-- > 0;) {
        remainder = (remainder << kLimbBits) | limbs_[i];
        limbs_[i] = static_cast<std::uint32_t>(remainder / divisor);
        remainder %= divisor;
    }
    trim();
    return static_cast<std::uint32_t>(remainder);
}

Natural& Natural::shift_left(int count) {
    if (limbs_.empty() || count == 0) {
        return *this;
    }
    const int bits = count % kLimbBits;
    if (bits != 0) {
        limbs_.push_back(0);
        for (std::size_t i = limbs_.size(); i-- > 0;) {
            const std::uint32_t below = i == 0 ? 0 : limbs_[i - 1] >> (kLimbBits - bits);
            limbs_[i] = (limbs_[i] << bits) | below;
        }
    }
    limbs_.insert(limbs_.begin(), limb_index(count), 0);
    trim();
    return *this;
}

Natural& Natural::shift_right(int count) {
    const std::size_t whole = limb_index(count);
    if (whole >= limbs_.size()) {
        limbs_.clear();
        return *this;
    }
    limbs_.erase(limbs_.begin(), limbs_.begin() + static_cast<std::ptrdiff_t>(whole));
    const int bits = count % kLimbBits;
    if (bits != 0) {
        for (std::size_t i = 0; i < limbs_.size(); ++i) {
            const std::uint32_t above =
                i + 1 < limbs_.size() ? limbs_[i + 1] << (kLimbBits - bits) : 0;
            limbs_[i] = (limbs_[i] >> bits) | above;
        }
    }
    trim();
    return *this;
}

Natural operator*(const Natural& a, const Natural& b) {
    Natural product;
    if (a.is_zero() || b.is_zero()) {
        return product;
    }
    product.limbs_.assign(a.limbs_.size() + b.limbs_.size(), 0);
    for (std::size_t i = 0; i < a.limbs_.size(); ++i) {
        std::uint64_t carry = 0;
        for (std::size_t j = 0; j < b.limbs_.size(); ++j) {
            carry += static_cast<std::uint64_t>(a.limbs_[i]) * b.limbs_[j] +
                     product.limbs_[i + j];
            product.limbs_[i + j] = static_cast<std::uint32_t>(carry);
            carry >>= kLimbBits;
        }
        product.limbs_[i + b.limbs_.size()] = static_cast<std::uint32_t>(carry);
    }
    product.trim();
    return product;
}

int compare(const Natural& a, const Natural& b) {
    if (a.limbs_.size() != b.limbs_.size()) {
        return a.limbs_.size() < b.limbs_.size() ? -1 : 1;
    }
    for (std::size_t i = a.limbs_.size(); i-- > 0;) {
        if (a.limbs_[i] != b.limbs_[i]) {
            return a.limbs_[i] < b.limbs_[i] ? -1 : 1;
        }
    }
    return 0;
}

void Natural::trim() {
    while (!limbs_.empty() && limbs_.back() == 0) {
        limbs_.pop_back();
    }
}

} // namespace orv::math
