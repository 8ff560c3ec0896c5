// Factorial and absolute value.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "orv/agents.hpp"
#include "spell_support.hpp"

namespace orv {

namespace {

/// From 171 on the double product is infinity and cannot change any more.
constexpr double kFirstInfiniteFactorial = 171.0;

/// n! for n = floor(magnitude), multiplied in increasing order; 1 for n <= 0. Magnitudes
/// beyond the 32-bit range continue the same rule (infinity above, 1 below) instead of going
/// through an out-of-range integer conversion.
double factorial_of_floor(double magnitude) {
    const double n = std::floor(magnitude);
    if (n >= kFirstInfiniteFactorial) {
        return std::numeric_limits<double>::infinity();
    }
    const int last = n > 0.0 ? static_cast<int>(n) : 0;
    double product = 1.0;
    for (int factor = 2; factor <= last; ++factor) {
        product *= factor;
    }
    return product;
}

} // namespace

FactorialMagician::FactorialMagician(std::string visual_id_)
    : MagicianAgent("The Replicator", 85, std::move(visual_id_)) {}

bool FactorialMagician::CastSpell(std::vector<Charge>& charges) {
    if (charges.empty() || is_negative(charges.back())) {
        return false;
    }
    // NaN has no integer part: the spell does not apply to it.
    if (std::isnan(charges.back().magnitude)) {
        return false;
    }
    spells::replace_operands(charges, 1, factorial_of_floor(charges.back().magnitude),
                             ChargePolarity::POSITIVE, "result_factorial_", *this);
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

AbsMagician::AbsMagician(std::string visual_id_)
    : MagicianAgent("The Purifier", 90, std::move(visual_id_)) {}

bool AbsMagician::CastSpell(std::vector<Charge>& charges) {
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
            charge.polarity = ChargePolarity::POSITIVE;
            charge.visual_id.swap(*next_id++);
        }
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
