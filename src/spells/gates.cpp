// The goal gates and the Chronomancer: agents that never change a charge.
#include <cmath>

#include "orv/agents.hpp"
#include "orv/json_fields.hpp"
#include "orv/json_reader.hpp"
#include "spell_support.hpp"

namespace orv {

namespace {

/// Tolerance of EqualsGate: the difference must be strictly below it.
constexpr double kGateTolerance = 1e-6;

/// Sum of the signed values in list order, starting from 0.0.
double signed_total(const std::vector<Charge>& charges) {
    double total = 0.0;
    for (const Charge& charge : charges) {
        total += signed_value(charge);
    }
    return total;
}

} // namespace

Chronomancer::Chronomancer(std::string visual_id_)
    : MagicianAgent("Chronomancer", 100, std::move(visual_id_)) {}

bool Chronomancer::CastSpell(std::vector<Charge>& /*charges*/) { return false; }

std::string Chronomancer::decline_reason(const std::vector<Charge>& /*charges*/) const {
    return "never casts";
}

std::vector<std::string> Chronomancer::decline_reasons() const { return {"never casts"}; }

GoalGate::GoalGate(std::string name_, std::string visual_id_, double target)
    : MagicianAgent(std::move(name_), 0, std::move(visual_id_)), target_value(target) {}

bool GoalGate::CastSpell(std::vector<Charge>& charges) {
    if (charges.empty() || !passes(signed_total(charges))) {
        return false;
    }
    is_open = true;
    return true;
}

std::string GoalGate::decline_reason(const std::vector<Charge>& charges) const {
    if (charges.empty()) {
        return "no charge";
    }
    const double total = signed_total(charges);
    if (passes(total)) {
        return {};
    }
    return "total " + spells::number_text(total) + ", needs " + shown_rule() + " " +
           spells::number_text(target_value);
}

std::vector<std::string> GoalGate::decline_reasons() const {
    const char* shown = rule() != nullptr ? "[rule]" : shown_rule();
    return {"no charge", std::string("total [total], needs ") + shown + " [target]"};
}

const char* GoalGate::shown_rule() const {
    const char* own = rule();
    return own != nullptr ? own : "==";
}

template <class Self, class Fields>
void GoalGate::gate_fields_of(Self& gate, Fields& fields) {
    // The agent members with the gate's merged in, in the sorted order of the keys.
    fields.boolean("is_open", gate.is_open);
    fields.string("name", gate.name);
    fields.integer("priority", gate.priority);
    gate.describe_rule(fields);
    fields.word("state", gate.state, kAgentStateWords);
    fields.number("target_value", gate.target_value);
    fields.string("visual_id", gate.visual_id);
}

void GoalGate::describe_json(JsonFields& fields) const { gate_fields_of(*this, fields); }

void GoalGate::describe_json(JsonReader& fields) { gate_fields_of(*this, fields); }

EqualsGate::EqualsGate(std::string visual_id_, double target)
    : GoalGate("Equals Gate", std::move(visual_id_), target) {}

bool EqualsGate::passes(double total) const {
    return std::fabs(total - target_value) < kGateTolerance;
}

InequalityGate::InequalityGate(std::string visual_id_, double target,
                               ComparisonType comparison_type_)
    : GoalGate("The Judge", std::move(visual_id_), target), comparison_type(comparison_type_) {}

bool InequalityGate::passes(double total) const {
    switch (comparison_type) {
    case ComparisonType::GREATER_THAN:
        return total > target_value;
    case ComparisonType::LESS_EQUAL:
        return total <= target_value;
    case ComparisonType::GREATER_EQUAL:
        return total >= target_value;
    case ComparisonType::LESS_THAN:
        break;
    }
    return total < target_value;
}

const char* InequalityGate::rule() const { return comparison_rule_text(comparison_type); }

void InequalityGate::describe_rule(JsonFields& fields) const {
    fields.word("rule", comparison_type, kComparisonRuleWords);
}

void InequalityGate::describe_rule(JsonReader& fields) {
    fields.word("rule", comparison_type, kComparisonRuleWords);
}

const char* comparison_rule_text(InequalityGate::ComparisonType type) {
    switch (type) {
    case InequalityGate::ComparisonType::GREATER_THAN:
        return ">";
    case InequalityGate::ComparisonType::LESS_EQUAL:
        return "<=";
    case InequalityGate::ComparisonType::GREATER_EQUAL:
        return ">=";
    case InequalityGate::ComparisonType::LESS_THAN:
        break;
    }
    return "<";
}

InequalityGate::ComparisonType comparison_type_from_text(const std::string& text) {
    if (text == ">") {
        return InequalityGate::ComparisonType::GREATER_THAN;
    }
    if (text == "<=") {
        return InequalityGate::ComparisonType::LESS_EQUAL;
    }
    if (text == ">=") {
        return InequalityGate::ComparisonType::GREATER_EQUAL;
    }
    return InequalityGate::ComparisonType::LESS_THAN;
}

} // namespace orv
