// The goal gates and the Chronomancer: agents that never change a charge.
#include <cmath>

#include <nlohmann/json.hpp>

#include "orv/agents.hpp"

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

bool comparison_holds(InequalityGate::ComparisonType type, double total, double target) {
    switch (type) {
    case InequalityGate::ComparisonType::GREATER_THAN:
        return total > target;
    case InequalityGate::ComparisonType::LESS_EQUAL:
        return total <= target;
    case InequalityGate::ComparisonType::GREATER_EQUAL:
        return total >= target;
    case InequalityGate::ComparisonType::LESS_THAN:
        break;
    }
    return total < target;
}

/// A gate's object: the agent members with "is_open", "rule" (InequalityGate only) and
/// "target_value" merged in, in the sorted order of the keys.
void write_gate_json(JsonTextWriter& out, const MagicianAgent& gate, bool is_open,
                     const char* rule, double target_value) {
    out.raw("{\"is_open\":");
    out.boolean(is_open);
    out.raw(",\"name\":");
    out.string(gate.name);
    out.raw(",\"priority\":");
    out.integer(gate.priority);
    if (rule != nullptr) {
        out.raw(",\"rule\":\"");
        out.raw(rule);
        out.raw('"');
    }
    out.raw(",\"state\":\"");
    out.raw(agent_state_text(gate.state));
    out.raw("\",\"target_value\":");
    out.number(target_value);
    out.raw(",\"visual_id\":");
    out.string(gate.visual_id);
    out.raw('}');
}

} // namespace

Chronomancer::Chronomancer(std::string visual_id_)
    : MagicianAgent("Chronomancer", 100, std::move(visual_id_)) {}

bool Chronomancer::CastSpell(std::vector<Charge>& /*charges*/) { return false; }

EqualsGate::EqualsGate(std::string visual_id_, double target)
    : MagicianAgent("Equals Gate", 0, std::move(visual_id_)), target_value(target) {}

bool EqualsGate::CastSpell(std::vector<Charge>& charges) {
    // An empty zone opens no gate, not even one aiming at 0.
    if (charges.empty()) {
        return false;
    }
    if (std::fabs(signed_total(charges) - target_value) < kGateTolerance) {
        is_open = true;
        return true;
    }
    return false;
}

nlohmann::json EqualsGate::to_json() const {
    nlohmann::json object = MagicianAgent::to_json();
    object["is_open"] = is_open;
    object["target_value"] = nlohmann::json(target_value);
    return object;
}

InequalityGate::InequalityGate(std::string visual_id_, double target,
                               ComparisonType comparison_type_)
    : MagicianAgent("The Judge", 0, std::move(visual_id_)), comparison_type(comparison_type_),
      target_value(target) {}

bool InequalityGate::CastSpell(std::vector<Charge>& charges) {
    if (charges.empty()) {
        return false;
    }
    if (comparison_holds(comparison_type, signed_total(charges), target_value)) {
        is_open = true;
        return true;
    }
    return false;
}

nlohmann::json InequalityGate::to_json() const {
    nlohmann::json object = MagicianAgent::to_json();
    object["is_open"] = is_open;
    object["rule"] = comparison_rule_text(comparison_type);
    object["target_value"] = nlohmann::json(target_value);
    return object;
}

void EqualsGate::write_json(JsonTextWriter& out) const {
    write_gate_json(out, *this, is_open, nullptr, target_value);
}

void InequalityGate::write_json(JsonTextWriter& out) const {
    write_gate_json(out, *this, is_open, comparison_rule_text(comparison_type), target_value);
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
