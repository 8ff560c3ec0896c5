// The spells that read charges as signed values and combine the whole list.
#include <cmath>

#include "orv/agents.hpp"
#include "spell_support.hpp"

namespace orv {

namespace {

constexpr const char* kSigned = "every charge, signed (neutral counts negative)";

} // namespace

const AgentKind PlusMagician::kind{
    "Plus Magician", "add_plus_magician", 0, 10, KindGoal::none, 2, kSigned,
    "r = the sum, left to right; positive when >= 0, else negative; magnitude |r|; replaces "
    "all charges",
    "result_", &make_agent_of<PlusMagician>};

PlusMagician::PlusMagician(std::string visual_id_) : MagicianAgent(kind, std::move(visual_id_)) {}

bool PlusMagician::CastSpell(std::vector<Charge>& charges) { return cast(charges, nullptr); }

bool PlusMagician::CastSpell(std::vector<Charge>& charges, SpellEffect& effect) {
    return cast(charges, &effect);
}

bool PlusMagician::cast(std::vector<Charge>& charges, SpellEffect* effect) {
    if (charges.size() < 2) {
        return false;
    }
    double total = 0.0;
    for (const Charge& charge : charges) {
        total += signed_value(charge);
    }
    spells::replace_operands(charges, charges.size(), std::fabs(total),
                             spells::sign_polarity(total), "result_", *this, effect);
    if (effect != nullptr) {
        spells::tell_arithmetic(effect, spells::joined(effect->consumed, &signed_value, "+"));
    }
    return true;
}

std::string PlusMagician::decline_reason(const std::vector<Charge>& charges) const {
    return charges.size() < 2 ? spells::too_few_charges(2, charges.size()) : std::string();
}

std::vector<std::string> PlusMagician::decline_reasons() const {
    return {spells::too_few_charges_pattern(2)};
}

const AgentKind MinusMagician::kind{
    "Minus Magician", "add_minus_magician", 1, 10, KindGoal::none, 2, kSigned,
    "r = the first minus each later one; positive when >= 0, else negative; magnitude |r|; "
    "replaces all charges",
    "result_", &make_agent_of<MinusMagician>};

MinusMagician::MinusMagician(std::string visual_id_)
    : MagicianAgent(kind, std::move(visual_id_)) {}

bool MinusMagician::CastSpell(std::vector<Charge>& charges) { return cast(charges, nullptr); }

bool MinusMagician::CastSpell(std::vector<Charge>& charges, SpellEffect& effect) {
    return cast(charges, &effect);
}

bool MinusMagician::cast(std::vector<Charge>& charges, SpellEffect* effect) {
    if (charges.size() < 2) {
        return false;
    }
    double rest = signed_value(charges.front());
    for (auto it = std::next(charges.begin()); it != charges.end(); ++it) {
        rest -= signed_value(*it);
    }
    spells::replace_operands(charges, charges.size(), std::fabs(rest),
                             spells::sign_polarity(rest), "result_", *this, effect);
    if (effect != nullptr) {
        spells::tell_arithmetic(effect, spells::joined(effect->consumed, &signed_value, "-"));
    }
    return true;
}

std::string MinusMagician::decline_reason(const std::vector<Charge>& charges) const {
    return charges.size() < 2 ? spells::too_few_charges(2, charges.size()) : std::string();
}

std::vector<std::string> MinusMagician::decline_reasons() const {
    return {spells::too_few_charges_pattern(2)};
}

} // namespace orv
