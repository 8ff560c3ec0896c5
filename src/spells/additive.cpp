// The spells that read charges as signed values and combine the whole list.
#include <cmath>

#include "orv/agents.hpp"
#include "spell_support.hpp"

namespace orv {

PlusMagician::PlusMagician(std::string visual_id_)
    : MagicianAgent("Plus Magician", 10, std::move(visual_id_)) {}

bool PlusMagician::CastSpell(std::vector<Charge>& charges) {
    if (charges.size() < 2) {
        return false;
    }
    double total = 0.0;
    for (const Charge& charge : charges) {
        total += signed_value(charge);
    }
    spells::replace_operands(charges, charges.size(), std::fabs(total),
                             spells::sign_polarity(total), "result_", *this);
    return true;
}

std::string PlusMagician::decline_reason(const std::vector<Charge>& charges) const {
    return charges.size() < 2 ? spells::too_few_charges(2, charges.size()) : std::string();
}

std::vector<std::string> PlusMagician::decline_reasons() const {
    return {spells::too_few_charges_pattern(2)};
}

MinusMagician::MinusMagician(std::string visual_id_)
    : MagicianAgent("Minus Magician", 10, std::move(visual_id_)) {}

bool MinusMagician::CastSpell(std::vector<Charge>& charges) {
    if (charges.size() < 2) {
        return false;
    }
    double rest = signed_value(charges.front());
    for (auto it = std::next(charges.begin()); it != charges.end(); ++it) {
        rest -= signed_value(*it);
    }
    spells::replace_operands(charges, charges.size(), std::fabs(rest),
                             spells::sign_polarity(rest), "result_", *this);
    return true;
}

std::string MinusMagician::decline_reason(const std::vector<Charge>& charges) const {
    return charges.size() < 2 ? spells::too_few_charges(2, charges.size()) : std::string();
}

std::vector<std::string> MinusMagician::decline_reasons() const {
    return {spells::too_few_charges_pattern(2)};
}

} // namespace orv
