#include "spell_support.hpp"

#include <cmath>
#include <cstring>
#include <iterator>

#include "orv/math.hpp"
#include "orv/readable_number.hpp"

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

namespace {

/// prefix + id in one allocation of the final size. The result ids ("result_power_" and the
/// caster's id) pass the short-string buffer, and `prefix + id` grew the string twice: in a
/// quiet search, where a spell is a few hundred instructions, that was a fifth of it.
std::string prefixed(const char* prefix, const std::string& id) {
    const std::size_t prefix_size = std::strlen(prefix);
    std::string text(prefix_size + id.size(), '\0');
    std::memcpy(text.data(), prefix, prefix_size);
    std::memcpy(text.data() + prefix_size, id.data(), id.size());
    return text;
}

} // namespace

void replace_operands(std::vector<Charge>& charges, std::size_t consumed, double magnitude,
                      ChargePolarity polarity, const char* prefix, const MagicianAgent& caster,
                      SpellEffect* effect) {
    Charge result(magnitude, polarity, prefixed(prefix, caster.visual_id));
    const auto first_consumed = std::prev(charges.end(), static_cast<std::ptrdiff_t>(consumed));
    if (effect != nullptr) {
        effect->consumed.assign(first_consumed, charges.end());
        effect->produced.assign(1, result);
    }
    charges.erase(first_consumed, charges.end());
    // At least one operand was removed, so the list has room: this append cannot reallocate.
    charges.push_back(std::move(result));
}

double negative_tested_value(const Charge& charge) {
    return is_negative(charge) ? -charge.magnitude : charge.magnitude;
}

std::string shown(double value, bool signed_zero) {
    std::string text = readable_number(value, signed_zero);
    return text.front() == '-' ? "(" + text + ")" : text;
}

std::string joined(const std::vector<Charge>& operands, double (*reading)(const Charge&),
                   const char* sign) {
    std::string text;
    for (const Charge& operand : operands) {
        if (!text.empty()) {
            text += std::string(" ") + sign + " ";
        }
        text += shown(reading(operand));
    }
    return text;
}

std::string result_text(const Charge& result) {
    if (result.polarity == ChargePolarity::NEUTRAL) {
        return readable_number(result.magnitude) + " (neutral)";
    }
    return readable_number(signed_value(result));
}

void tell_arithmetic(SpellEffect* effect, const std::string& operands) {
    effect->arithmetic = operands + " \u2192 " + result_text(effect->produced.back());
}

} // namespace orv::spells
