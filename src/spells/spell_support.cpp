#include "spell_support.hpp"

#include <cmath>
#include <iterator>

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

void replace_operands(std::vector<Charge>& charges, std::size_t consumed, double magnitude,
                      ChargePolarity polarity, const char* prefix, const MagicianAgent& caster) {
    Charge result(magnitude, polarity, prefix + caster.visual_id);
    charges.erase(std::prev(charges.end(), static_cast<std::ptrdiff_t>(consumed)), charges.end());
    // At least one operand was removed, so the list has room: this append cannot reallocate.
    charges.push_back(std::move(result));
}

} // namespace orv::spells
