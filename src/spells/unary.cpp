// Factorial and absolute value.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "orv/agents.hpp"
#include "orv/readable_number.hpp"
#include "orv/rules.hpp"
#include "spell_support.hpp"

namespace orv {

namespace {

/// n! for n = floor(magnitude), multiplied in increasing order; 1 for n <= 0. Magnitudes
/// beyond the 32-bit range continue the same rule (infinity above, 1 below) instead of going
/// through an out-of-range integer conversion.
double factorial_of_floor(double magnitude) {
    const double n = std::floor(magnitude);
    // From here on the double product is infinity and cannot change any more.
    if (n >= rules::kFirstInfiniteFactorial) {
        return std::numeric_limits<double>::infinity();
    }
    const int last = n > 0.0 ? static_cast<int>(n) : 0;
    double product = 1.0;
    for (int factor = 2; factor <= last; ++factor) {
        product *= factor;
    }
    return product;
}

/// "|-5| → 5" for each charge turned positive. A NEGATIVE charge keeps its magnitude, so for a
/// negative magnitude the signed value goes from +|m| to -|m|, which |x| would misstate.
std::string purified_text(const std::vector<Charge>& purified) {
    if (purified.empty()) {
        return "no negative charge, nothing changes";
    }
    std::string text;
    for (const Charge& charge : purified) {
        if (!text.empty()) {
            text += ", ";
        }
        const std::string before = readable_number(signed_value(charge));
        const std::string after = readable_number(charge.magnitude);
        text += std::isnan(charge.magnitude) || charge.magnitude >= 0.0
                    ? "|" + before + "| \u2192 " + after
                    : before + " \u2192 " + after;
    }
    return text;
}

} // namespace

const AgentKind FactorialMagician::kind{
    "The Replicator", "add_factorial_magician", 7, 85, KindGoal::none, 1,
    "the last charge",
    "n! for n = floor(magnitude): 1 for n <= 0, infinity from 171 on; positive; replaces the "
    "last one",
    "result_factorial_", &make_agent_of<FactorialMagician>};

FactorialMagician::FactorialMagician(std::string visual_id_)
    : MagicianAgent(kind, std::move(visual_id_)) {}

bool FactorialMagician::CastSpell(std::vector<Charge>& charges) { return cast(charges, nullptr); }

bool FactorialMagician::CastSpell(std::vector<Charge>& charges, SpellEffect& effect) {
    return cast(charges, &effect);
}

bool FactorialMagician::cast(std::vector<Charge>& charges, SpellEffect* effect) {
    if (charges.empty() || is_negative(charges.back())) {
        return false;
    }
    // NaN has no integer part: the spell does not apply to it.
    if (std::isnan(charges.back().magnitude)) {
        return false;
    }
    const double magnitude = charges.back().magnitude;
    spells::replace_operands(charges, 1, factorial_of_floor(magnitude), ChargePolarity::POSITIVE,
                             "result_factorial_", *this, effect);
    if (effect != nullptr) {
        spells::tell_arithmetic(effect, spells::shown(magnitude) + "!");
    }
    return true;
}

std::string FactorialMagician::decline_reason(const std::vector<Charge>& charges) const {
    if (charges.empty()) {
        return spells::too_few_charges(1, 0);
    }
    if (is_negative(charges.back())) {
        return "the last charge is negative";
    }
    return std::isnan(charges.back().magnitude) ? "the last charge is NaN" : std::string();
}

std::vector<std::string> FactorialMagician::decline_reasons() const {
    return {spells::too_few_charges_pattern(1), "the last charge is negative",
            "the last charge is NaN"};
}

const AgentKind AbsMagician::kind{
    "The Purifier", "add_abs_magician", 6, 90, KindGoal::none, 1,
    "every charge",
    "each negative charge turns positive and its visual id gains \"purified_\" in front; adds "
    "nothing, casts even when nothing is negative",
    "", &make_agent_of<AbsMagician>};

AbsMagician::AbsMagician(std::string visual_id_) : MagicianAgent(kind, std::move(visual_id_)) {}

bool AbsMagician::CastSpell(std::vector<Charge>& charges) { return cast(charges, nullptr); }

bool AbsMagician::CastSpell(std::vector<Charge>& charges, SpellEffect& effect) {
    return cast(charges, &effect);
}

bool AbsMagician::cast(std::vector<Charge>& charges, SpellEffect* effect) {
    if (charges.empty()) {
        return false;
    }
    // New ids are made before any charge changes, so a failed allocation changes nothing.
    std::vector<std::string> purified_ids;
    for (const Charge& charge : charges) {
        if (is_negative(charge)) {
            purified_ids.push_back("purified_" + charge.visual_id);
        }
    }
    auto next_id = purified_ids.begin();
    for (Charge& charge : charges) {
        if (is_negative(charge)) {
            if (effect != nullptr) {
                effect->consumed.push_back(charge);
            }
            charge.polarity = ChargePolarity::POSITIVE;
            charge.visual_id.swap(*next_id++);
            if (effect != nullptr) {
                effect->produced.push_back(charge);
            }
        }
    }
    if (effect != nullptr) {
        effect->arithmetic = purified_text(effect->consumed);
    }
    return true;
}

std::string AbsMagician::decline_reason(const std::vector<Charge>& charges) const {
    return charges.empty() ? spells::too_few_charges(1, 0) : std::string();
}

std::vector<std::string> AbsMagician::decline_reasons() const {
    return {spells::too_few_charges_pattern(1)};
}

} // namespace orv
