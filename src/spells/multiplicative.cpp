// The spells that read magnitudes and count NEGATIVE charges: product, quotient, remainder.
#include <cmath>

#include "orv/agents.hpp"
#include "spell_support.hpp"

namespace orv {

namespace {

constexpr const char* kMagnitudes = "every magnitude; only negative charges count negative";

} // namespace

const AgentKind MultiplyMagician::kind{
    "Multiply Magician", "add_multiply_magician", 2, 50, KindGoal::none, 2,
    kMagnitudes,
    "r = the product; "
    "negative when an odd number of operands are negative, positive otherwise; neutral when "
    "|r| < 1e-9; magnitude r; replaces all charges",
    "result_product_", &make_agent_of<MultiplyMagician>};

MultiplyMagician::MultiplyMagician(std::string visual_id_)
    : MagicianAgent(kind, std::move(visual_id_)) {}

bool MultiplyMagician::CastSpell(std::vector<Charge>& charges) { return cast(charges, nullptr); }

bool MultiplyMagician::CastSpell(std::vector<Charge>& charges, SpellEffect& effect) {
    return cast(charges, &effect);
}

bool MultiplyMagician::cast(std::vector<Charge>& charges, SpellEffect* effect) {
    if (charges.size() < 2) {
        return false;
    }
    double product = 1.0;
    std::size_t negatives = 0;
    for (const Charge& charge : charges) {
        product *= charge.magnitude;
        negatives += is_negative(charge) ? 1U : 0U;
    }
    spells::replace_operands(charges, charges.size(), product,
                             spells::parity_polarity(product, negatives), "result_product_",
                             *this, effect);
    if (effect != nullptr) {
        spells::tell_arithmetic(
            effect, spells::joined(effect->consumed, &spells::negative_tested_value, "\u00d7"));
    }
    return true;
}

std::string MultiplyMagician::decline_reason(const std::vector<Charge>& charges) const {
    return charges.size() < 2 ? spells::too_few_charges(2, charges.size()) : std::string();
}

std::vector<std::string> MultiplyMagician::decline_reasons() const {
    return {spells::too_few_charges_pattern(2)};
}

const AgentKind DivideMagician::kind{
    "Divide Magician", "add_divide_magician", 3, 50, KindGoal::none, 2,
    "every magnitude; only negative charges count negative; the divisors are the charges "
    "after the first",
    "r = the first divided by each later one; "
    "negative when an odd number of operands are negative, positive otherwise; neutral when "
    "|r| < 1e-9; magnitude r; replaces all charges",
    "result_quotient_", &make_agent_of<DivideMagician>};

DivideMagician::DivideMagician(std::string visual_id_)
    : MagicianAgent(kind, std::move(visual_id_)) {}

bool DivideMagician::CastSpell(std::vector<Charge>& charges) { return cast(charges, nullptr); }

bool DivideMagician::CastSpell(std::vector<Charge>& charges, SpellEffect& effect) {
    return cast(charges, &effect);
}

bool DivideMagician::cast(std::vector<Charge>& charges, SpellEffect* effect) {
    if (charges.size() < 2) {
        return false;
    }
    double quotient = charges.front().magnitude;
    std::size_t negatives = is_negative(charges.front()) ? 1 : 0;
    for (auto it = std::next(charges.begin()); it != charges.end(); ++it) {
        // Refused before anything is written: the partial quotient lives only here.
        if (std::fabs(it->magnitude) < spells::kZeroTolerance) {
            return false;
        }
        quotient /= it->magnitude;
        negatives += is_negative(*it) ? 1U : 0U;
    }
    spells::replace_operands(charges, charges.size(), quotient,
                             spells::parity_polarity(quotient, negatives), "result_quotient_",
                             *this, effect);
    if (effect != nullptr) {
        spells::tell_arithmetic(
            effect, spells::joined(effect->consumed, &spells::negative_tested_value, "\u00f7"));
    }
    return true;
}

std::string DivideMagician::decline_reason(const std::vector<Charge>& charges) const {
    if (charges.size() < 2) {
        return spells::too_few_charges(2, charges.size());
    }
    for (auto it = std::next(charges.begin()); it != charges.end(); ++it) {
        std::string refused = spells::refused_divisor(it->magnitude);
        if (!refused.empty()) {
            return refused;
        }
    }
    return {};
}

std::vector<std::string> DivideMagician::decline_reasons() const {
    std::vector<std::string> reasons{spells::too_few_charges_pattern(2)};
    for (std::string& reason : spells::refused_divisor_patterns()) {
        reasons.push_back(std::move(reason));
    }
    return reasons;
}

const AgentKind ModuloMagician::kind{
    "The Scavenger", "add_modulo_magician", 8, 50, KindGoal::none, 2,
    "magnitudes a (second-to-last) and the divisor b (last); polarity not read",
    "fmod(a, b), with the sign of a; positive; replaces the last two",
    "result_remainder_", &make_agent_of<ModuloMagician>};

ModuloMagician::ModuloMagician(std::string visual_id_)
    : MagicianAgent(kind, std::move(visual_id_)) {}

bool ModuloMagician::CastSpell(std::vector<Charge>& charges) { return cast(charges, nullptr); }

bool ModuloMagician::CastSpell(std::vector<Charge>& charges, SpellEffect& effect) {
    return cast(charges, &effect);
}

bool ModuloMagician::cast(std::vector<Charge>& charges, SpellEffect* effect) {
    const std::size_t count = charges.size();
    if (count < 2) {
        return false;
    }
    const double dividend = charges[count - 2].magnitude;
    const double divisor = charges[count - 1].magnitude;
    if (std::fabs(divisor) < spells::kZeroTolerance) {
        return false;
    }
    spells::replace_operands(charges, 2, std::fmod(dividend, divisor), ChargePolarity::POSITIVE,
                             "result_remainder_", *this, effect);
    if (effect != nullptr) {
        spells::tell_arithmetic(effect, spells::shown(dividend) + " mod " + spells::shown(divisor));
    }
    return true;
}

std::string ModuloMagician::decline_reason(const std::vector<Charge>& charges) const {
    if (charges.size() < 2) {
        return spells::too_few_charges(2, charges.size());
    }
    return spells::refused_divisor(charges.back().magnitude);
}

std::vector<std::string> ModuloMagician::decline_reasons() const {
    std::vector<std::string> reasons{spells::too_few_charges_pattern(2)};
    for (std::string& reason : spells::refused_divisor_patterns()) {
        reasons.push_back(std::move(reason));
    }
    return reasons;
}

} // namespace orv
