// Powers, roots and logarithms: they consume the last one or two charges. They use the
// engine's own pow, log and log10 (orv/math.hpp), so that every build gives the same digits.
#include <cmath>

#include "orv/agents.hpp"
#include "orv/math.hpp"
#include "spell_support.hpp"

namespace orv {

namespace {

/// The magnitude, negated when the charge is NEGATIVE (a NEUTRAL operand counts positive).
double negative_tested_value(const Charge& charge) {
    return is_negative(charge) ? -charge.magnitude : charge.magnitude;
}

/// Whether the integer part of `degree` (truncated toward zero) is even. Computed on the
/// double itself, so it is exact for every finite value, also beyond the 32-bit range; a NaN
/// or infinite degree has no integer part and counts as even, which makes the root decline.
bool integer_part_is_even(double degree) {
    if (!std::isfinite(degree)) {
        return true;
    }
    return std::fmod(std::trunc(degree), 2.0) == 0.0;
}

} // namespace

PowerSorcerer::PowerSorcerer(std::string visual_id_)
    : MagicianAgent("Power Sorcerer", 75, std::move(visual_id_)) {}

bool PowerSorcerer::CastSpell(std::vector<Charge>& charges) {
    const std::size_t count = charges.size();
    if (count < 2) {
        return false;
    }
    const double base = negative_tested_value(charges[count - 2]);
    const double exponent = negative_tested_value(charges[count - 1]);
    const double power = math::pow(base, exponent);
    ChargePolarity polarity = ChargePolarity::NEUTRAL; // zero and NaN
    if (power > 0.0) {
        polarity = ChargePolarity::POSITIVE;
    } else if (power < 0.0) {
        polarity = ChargePolarity::NEGATIVE;
    }
    spells::replace_operands(charges, 2, std::fabs(power), polarity, "result_power_", *this);
    return true;
}

std::string PowerSorcerer::decline_reason(const std::vector<Charge>& charges) const {
    return charges.size() < 2 ? spells::too_few_charges(2, charges.size()) : std::string();
}

std::vector<std::string> PowerSorcerer::decline_reasons() const {
    return {spells::too_few_charges_pattern(2)};
}

RootMagician::RootMagician(std::string visual_id_)
    : MagicianAgent("The Extractor", 75, std::move(visual_id_)) {}

bool RootMagician::CastSpell(std::vector<Charge>& charges) {
    const std::size_t count = charges.size();
    if (count == 0) {
        return false;
    }
    if (count == 1) {
        if (is_negative(charges.front())) {
            return false;
        }
        spells::replace_operands(charges, 1, std::sqrt(charges.front().magnitude),
                                 ChargePolarity::POSITIVE, "result_root_", *this);
        return true;
    }
    const double degree = charges[count - 2].magnitude;
    const double radicand = charges[count - 1].magnitude;
    if (radicand < 0.0 && integer_part_is_even(degree)) {
        return false;
    }
    // pow has no real odd roots of negative numbers, so take the root of |x| and negate it.
    const double root = radicand < 0.0 ? -math::pow(std::fabs(radicand), 1.0 / degree)
                                       : math::pow(radicand, 1.0 / degree);
    spells::replace_operands(charges, 2, root, ChargePolarity::POSITIVE, "result_root_", *this);
    return true;
}

std::string RootMagician::decline_reason(const std::vector<Charge>& charges) const {
    const std::size_t count = charges.size();
    if (count == 0) {
        return spells::too_few_charges(1, 0);
    }
    if (count == 1) {
        return is_negative(charges.front()) ? "the lone charge is negative" : std::string();
    }
    const double degree = charges[count - 2].magnitude;
    const double radicand = charges[count - 1].magnitude;
    if (!(radicand < 0.0 && integer_part_is_even(degree))) {
        return {};
    }
    const std::string what = std::isfinite(degree) ? " is even" : " has no integer part";
    return "radicand " + spells::number_text(radicand) + " is negative and degree " +
           spells::number_text(degree) + what;
}

std::vector<std::string> RootMagician::decline_reasons() const {
    return {spells::too_few_charges_pattern(1), "the lone charge is negative",
            "radicand [x] is negative and degree [k] is even",
            "radicand [x] is negative and degree [k] has no integer part"};
}

LogMagician::LogMagician(std::string visual_id_)
    : MagicianAgent("The Architect", 90, std::move(visual_id_)) {}

bool LogMagician::CastSpell(std::vector<Charge>& charges) {
    const std::size_t count = charges.size();
    if (count == 0) {
        return false;
    }
    const double argument = charges[count - 1].magnitude;
    if (argument <= 0.0) {
        return false;
    }
    double logarithm = 0.0;
    std::size_t consumed = 1;
    if (count == 1) {
        logarithm = math::log10(argument);
    } else {
        const double base = charges[count - 2].magnitude;
        if (base <= 0.0 || base == 1.0) {
            return false;
        }
        logarithm = math::log(argument) / math::log(base);
        consumed = 2;
    }
    spells::replace_operands(charges, consumed, std::fabs(logarithm),
                             spells::sign_polarity(logarithm), "result_log_", *this);
    return true;
}

std::string LogMagician::decline_reason(const std::vector<Charge>& charges) const {
    const std::size_t count = charges.size();
    if (count == 0) {
        return spells::too_few_charges(1, 0);
    }
    const double argument = charges[count - 1].magnitude;
    if (argument <= 0.0) {
        return "argument " + spells::number_text(argument) + " is not positive";
    }
    if (count == 1) {
        return {};
    }
    const double base = charges[count - 2].magnitude;
    if (base <= 0.0) {
        return "base " + spells::number_text(base) + " is not positive";
    }
    return base == 1.0 ? "base is 1" : std::string();
}

std::vector<std::string> LogMagician::decline_reasons() const {
    return {spells::too_few_charges_pattern(1), "argument [x] is not positive",
            "base [b] is not positive", "base is 1"};
}

} // namespace orv
