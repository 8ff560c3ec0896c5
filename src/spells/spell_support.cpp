#include "spell_support.hpp"

#include <cmath>
#include <iterator>

#include "orv/math.hpp"

namespace orv::spells {

ChargePolarity sign_polarity(double value) {
    return value >= 0.0 ? ChargePolarity::POSITIVE : ChargePolarity::NEGATIVE;
}

ChargePolarity parity_polarity(double value, std::size_t negative_count) {
    if (std::fabs(value) < kZeroTolerance) {
        return ChargePolarity::NEUTRAL;
    }
    return negative_count % 2 == 1 ? ChargePolarity::NEGATIVE : ChargePolarity::POSITIVE;
}

std::string too_few_charges(std::size_t needed, std::size_t present) {
    if (needed == 1) {
        return "needs a charge, has none";
    }
    return "needs " + std::to_string(needed) + " charges, has " + std::to_string(present);
}

std::string too_few_charges_pattern(std::size_t needed) {
    return needed == 1 ? too_few_charges(1, 0)
                       : "needs " + std::to_string(needed) + " charges, has [count]";
}

std::string number_text(double value) {
    if (std::isnan(value)) {
        return "NaN";
    }
    return math::shortest_text(value);
}

std::string refused_divisor(double divisor) {
    if (!(std::fabs(divisor) < kZeroTolerance)) {
        return {};
    }
    if (divisor == 0.0) {
        return "divisor is 0";
    }
    return "divisor " + number_text(divisor) + " is below 1e-9";
}

std::vector<std::string> refused_divisor_patterns() {
    return {"divisor is 0", "divisor [d] is below 1e-9"};
}

void replace_operands(std::vector<Charge>& charges, std::size_t consumed, double magnitude,
                      ChargePolarity polarity, const char* prefix, const MagicianAgent& caster) {
    Charge result(magnitude, polarity, prefix + caster.visual_id);
    charges.erase(std::prev(charges.end(), static_cast<std::ptrdiff_t>(consumed)), charges.end());
    // At least one operand was removed, so the list has room: this append cannot reallocate.
    charges.push_back(std::move(result));
}

} // namespace orv::spells
