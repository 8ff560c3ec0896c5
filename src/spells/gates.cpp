// The goal gates and the Chronomancer: agents that never change a charge.
#include <cmath>

#include "orv/agents.hpp"
#include "orv/json_fields.hpp"
#include "orv/json_reader.hpp"
#include "orv/readable_number.hpp"
#include "orv/rules.hpp"
#include "spell_support.hpp"

namespace orv {

namespace {

std::shared_ptr<MagicianAgent> make_equals_gate(std::string visual_id) {
    return std::make_shared<EqualsGate>(std::move(visual_id), 0.0);
}

std::shared_ptr<MagicianAgent> make_inequality_gate(std::string visual_id) {
    return std::make_shared<InequalityGate>(std::move(visual_id), 0.0,
                                            InequalityGate::ComparisonType::LESS_THAN);
}

} // namespace

const AgentKind Chronomancer::kind{
    "Chronomancer", "add_chronomancer", 10, 100, KindGoal::none, 0, "none",
    "never leaves its zone, so the zone never collapses and its parent stays frozen", "",
    &make_agent_of<Chronomancer>};

Chronomancer::Chronomancer(std::string visual_id_) : MagicianAgent(kind, std::move(visual_id_)) {}

bool Chronomancer::CastSpell(std::vector<Charge>& /*charges*/) { return false; }

bool Chronomancer::CastSpell(std::vector<Charge>& /*charges*/, SpellEffect& /*effect*/) {
    return false;
}

bool Chronomancer::cast(std::vector<Charge>& /*charges*/, SpellEffect* /*effect*/) { return false; }

std::string Chronomancer::decline_reason(const std::vector<Charge>& /*charges*/) const {
    return "never casts";
}

std::vector<std::string> Chronomancer::decline_reasons() const { return {"never casts"}; }

GoalGate::GoalGate(const AgentKind& kind, std::string visual_id_, double target)
    : MagicianAgent(kind, std::move(visual_id_)), target_value(target) {}

bool GoalGate::CastSpell(std::vector<Charge>& charges) {
    if (charges.empty() || !passes(signed_total(charges))) {
        return false;
    }
    is_open = true;
    return true;
}

bool GoalGate::CastSpell(std::vector<Charge>& charges, SpellEffect& effect) {
    if (!CastSpell(charges)) {
        return false;
    }
    const double total = signed_total(charges);
    effect.total = total;
    effect.arithmetic = "total " + readable_number(total) + " " + shown_rule() + " " +
                        readable_number(target_value) + " \u2192 opened";
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

const AgentKind EqualsGate::kind{
    "Equals Gate", "add_equals_gate", 11, 0, KindGoal::target, 1,
    "the signed total of the zone and the gate's target; == means within 1e-6",
    "opens and leaves its zone; charges unchanged", "", &make_equals_gate};

EqualsGate::EqualsGate(std::string visual_id_, double target)
    : GoalGate(kind, std::move(visual_id_), target) {}

bool EqualsGate::passes(double total) const {
    return std::fabs(total - target_value) < rules::kEqualsTolerance;
}

const AgentKind InequalityGate::kind{
    "The Judge", "add_inequality_gate", 12, 0, KindGoal::target_and_rule, 1,
    "the signed total of the zone and the gate's target; its rule is \"<\", \">\", \"<=\" or "
    "\">=\", with no tolerance",
    "opens and leaves its zone; charges unchanged", "", &make_inequality_gate};

InequalityGate::InequalityGate(std::string visual_id_, double target,
                               ComparisonType comparison_type_)
    : GoalGate(kind, std::move(visual_id_), target), comparison_type(comparison_type_) {}

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
