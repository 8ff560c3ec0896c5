// Powers, roots and logarithms: they consume the last one or two charges. They use the
// engine's own pow, log and log10 (orv/math.hpp), so that every build gives the same digits.
#include <cmath>

#include "orv/agents.hpp"
#include "orv/math.hpp"
#include "orv/readable_number.hpp"
#include "spell_support.hpp"

namespace orv {

namespace {

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

const AgentKind PowerSorcerer::kind{
    "Power Sorcerer", "add_power_sorcerer", 4, 75, KindGoal::none, 2,
    "base (second-to-last) and exponent (last); only negative charges count negative",
    "r = base ^ exponent; positive when r > 0, negative when r < 0, neutral for 0 or NaN; "
    "magnitude |r|; replaces the last two",
    "result_power_", &make_agent_of<PowerSorcerer>};

PowerSorcerer::PowerSorcerer(std::string visual_id_) : MagicianAgent(kind, std::move(visual_id_)) {}

bool PowerSorcerer::CastSpell(std::vector<Charge>& charges) { return cast(charges, nullptr); }

bool PowerSorcerer::CastSpell(std::vector<Charge>& charges, SpellEffect& effect) {
    return cast(charges, &effect);
}

bool PowerSorcerer::cast(std::vector<Charge>& charges, SpellEffect* effect) {
    const std::size_t count = charges.size();
    if (count < 2) {
        return false;
    }
    const double base = spells::negative_tested_value(charges[count - 2]);
    const double exponent = spells::negative_tested_value(charges[count - 1]);
    const double power = math::pow(base, exponent);
    ChargePolarity polarity = ChargePolarity::NEUTRAL; // zero and NaN
    if (power > 0.0) {
        polarity = ChargePolarity::POSITIVE;
    } else if (power < 0.0) {
        polarity = ChargePolarity::NEGATIVE;
    }
    spells::replace_operands(charges, 2, std::fabs(power), polarity, "result_power_", *this,
                             effect);
    if (effect != nullptr) {
        // The sign of a zero base decides the sign of an infinite result (-0 ^ -1 is -inf).
        spells::tell_arithmetic(effect,
                                spells::shown(base, true) + " ^ " + spells::shown(exponent));
    }
    return true;
}

std::string PowerSorcerer::decline_reason(const std::vector<Charge>& charges) const {
    return charges.size() < 2 ? spells::too_few_charges(2, charges.size()) : std::string();
}

std::vector<std::string> PowerSorcerer::decline_reasons() const {
    return {spells::too_few_charges_pattern(2)};
}

const AgentKind RootMagician::kind{
    "The Extractor", "add_root_magician", 5, 75, KindGoal::none, 1,
    "one charge: x; more: degree k (second-to-last) and x (last), polarity not read",
    "sqrt(x), or x ^ (1/k) (the real root -|x| ^ (1/k) for x < 0); positive; replaces the one "
    "or the last two",
    "result_root_", &make_agent_of<RootMagician>};

RootMagician::RootMagician(std::string visual_id_) : MagicianAgent(kind, std::move(visual_id_)) {}

bool RootMagician::CastSpell(std::vector<Charge>& charges) { return cast(charges, nullptr); }

bool RootMagician::CastSpell(std::vector<Charge>& charges, SpellEffect& effect) {
    return cast(charges, &effect);
}

bool RootMagician::cast(std::vector<Charge>& charges, SpellEffect* effect) {
    const std::size_t count = charges.size();
    if (count == 0) {
        return false;
    }
    if (count == 1) {
        if (is_negative(charges.front())) {
            return false;
        }
        const double radicand = charges.front().magnitude;
        spells::replace_operands(charges, 1, std::sqrt(radicand), ChargePolarity::POSITIVE,
                                 "result_root_", *this, effect);
        if (effect != nullptr) {
            spells::tell_arithmetic(effect, "\u221a" + spells::shown(radicand));
        }
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
    spells::replace_operands(charges, 2, root, ChargePolarity::POSITIVE, "result_root_", *this,
                             effect);
    if (effect != nullptr) {
        // A zero degree is a reciprocal of +-inf, so its sign picks the result.
        spells::tell_arithmetic(effect, "root " + readable_number(degree, true) + " of " +
                                            readable_number(radicand));
    }
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

const AgentKind LogMagician::kind{
    "The Architect", "add_log_magician", 9, 90, KindGoal::none, 1,
    "one charge: x; more: base b (second-to-last) and x (last), polarity not read",
    "r = log10(x), or ln(x) / ln(b); positive when >= 0, else negative; magnitude |r|; "
    "replaces the one or the last two",
    "result_log_", &make_agent_of<LogMagician>};

LogMagician::LogMagician(std::string visual_id_) : MagicianAgent(kind, std::move(visual_id_)) {}

bool LogMagician::CastSpell(std::vector<Charge>& charges) { return cast(charges, nullptr); }

bool LogMagician::CastSpell(std::vector<Charge>& charges, SpellEffect& effect) {
    return cast(charges, &effect);
}

bool LogMagician::cast(std::vector<Charge>& charges, SpellEffect* effect) {
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
                             spells::sign_polarity(logarithm), "result_log_", *this, effect);
    if (effect != nullptr) {
        const std::vector<Charge>& taken = effect->consumed;
        spells::tell_arithmetic(effect, consumed == 1
                                            ? "log10(" + readable_number(argument) + ")"
                                            : "log base " + readable_number(taken[0].magnitude) +
                                                  " of " + readable_number(argument));
    }
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
