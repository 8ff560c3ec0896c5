// The table of kinds, gathered from the entries each kind defines beside its spell.
#include "orv/agent_kinds.hpp"

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "orv/agents.hpp"
#include "orv/rules.hpp"

namespace orv {

namespace {

nlohmann::json arguments_of(const AgentKind& kind) {
    switch (kind.goal) {
    case KindGoal::target:
        return {"visual_id", "target"};
    case KindGoal::target_and_rule:
        return {"visual_id", "target", "comparison_type"};
    case KindGoal::none:
        break;
    }
    return {"visual_id"};
}

/// The texts of an enumeration, in the order of its values.
template <class Enum, std::size_t Count>
nlohmann::json words_of(const EnumWords<Enum, Count>& words) {
    nlohmann::json texts = nlohmann::json::array();
    for (Enum value : words.values) {
        texts.push_back(words.text(value));
    }
    return texts;
}

} // namespace

const std::vector<const AgentKind*>& agent_kinds() {
    static const std::vector<const AgentKind*> kinds{
        &PlusMagician::kind,      &MinusMagician::kind,     &MultiplyMagician::kind,
        &DivideMagician::kind,    &ModuloMagician::kind,    &PowerSorcerer::kind,
        &RootMagician::kind,      &FactorialMagician::kind, &LogMagician::kind,
        &AbsMagician::kind,       &Chronomancer::kind,      &EqualsGate::kind,
        &InequalityGate::kind,
    };
    return kinds;
}

const AgentKind* find_agent_kind(std::string_view name) {
    for (const AgentKind* kind : agent_kinds()) {
        if (name == kind->name) {
            return kind;
        }
    }
    return nullptr;
}

nlohmann::json agent_kinds_json() {
    nlohmann::json table = nlohmann::json::array();
    for (const AgentKind* kind : agent_kinds()) {
        table.push_back({{"name", kind->name},
                         {"add_method", kind->add_method},
                         {"priority", kind->priority},
                         {"is_gate", kind->is_gate()},
                         {"arguments", arguments_of(*kind)},
                         {"min_charges", kind->min_charges},
                         {"operands", kind->operands},
                         {"result", kind->result},
                         {"prefix", kind->prefix},
                         {"declines", kind->make(std::string())->decline_reasons()}});
    }
    return table;
}

nlohmann::json rule_constants_json() {
    return {{"step_budget", rules::kStepBudget},
            {"zero_tolerance", rules::kZeroTolerance},
            {"equals_tolerance", rules::kEqualsTolerance},
            {"first_infinite_factorial", rules::kFirstInfiniteFactorial},
            {"comparison_rules", words_of(kComparisonRuleWords)},
            {"polarities", words_of(kPolarityWords)},
            {"agent_states", words_of(kAgentStateWords)}};
}

std::shared_ptr<MagicianAgent> make_agent(const std::string& name, std::string visual_id) {
    const AgentKind* kind = find_agent_kind(name);
    return kind != nullptr ? kind->make(std::move(visual_id)) : nullptr;
}

bool is_goal_gate(const MagicianAgent& agent) {
    return dynamic_cast<const GoalGate*>(&agent) != nullptr;
}

} // namespace orv
