// The spells that read magnitudes and count NEGATIVE charges: product, quotient, remainder.
#include <cmath>

#include "orv/agents.hpp"
#include "spell_support.hpp"

namespace orv {

MultiplyMagician::MultiplyMagician(std::string visual_id_)
    : MagicianAgent("Multiply Magician", 50, std::move(visual_id_)) {}

bool MultiplyMagician::CastSpell(std::vector<Charge>& charges) {
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
                             *this);
    return true;
}

std::string MultiplyMagician::decline_reason(const std::vector<Charge>& charges) const {
    return charges.size() < 2 ? spells::too_few_charges(2, charges.size()) : std::string();
}

std::vector<std::string> MultiplyMagician::decline_reasons() const {
    return {spells::too_few_charges_pattern(2)};
}

DivideMagician::DivideMagician(std::string visual_id_)
    : MagicianAgent("Divide Magician", 50, std::move(visual_id_)) {}

bool DivideMagician::CastSpell(std::vector<Charge>& charges) {
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
                             *this);
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

ModuloMagician::ModuloMagician(std::string visual_id_)
    : MagicianAgent("The Scavenger", 50, std::move(visual_id_)) {}

bool ModuloMagician::CastSpell(std::vector<Charge>& charges) {
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
                             "result_remainder_", *this);
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
