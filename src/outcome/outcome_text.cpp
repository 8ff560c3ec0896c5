// The outcome of a run in words, as the tools print it, and as JSON.
#include <cmath>
#include <string>

#include <nlohmann/json.hpp>

#include "orv/readable_number.hpp"
#include "orv/run_outcome.hpp"

namespace orv {

namespace {

std::string number_text(double value, NumberDigits digits) {
    return digits == NumberDigits::every ? exact_number(value) : readable_number(value);
}

/// A count and its word, thousands grouped: "1 charge", "2 charges", "1,234 charges".
std::string counted(std::size_t count, const std::string& word) {
    std::string digits = std::to_string(count);
    for (std::size_t at = digits.size(); at > 3; at -= 3) {
        digits.insert(at - 3, ",");
    }
    return digits + " " + word + (count == 1 ? "" : "s");
}

/// The cause in words, as the line of a closed gate ends.
std::string cause_text(const ClosedGate& gate, NumberDigits digits) {
    const std::string seen =
        gate.last_total ? "total " + number_text(*gate.last_total, digits) : "no charge";
    switch (gate.cause) {
    case GateCause::left_level:
        if (gate.left_with && gate.left_at) {
            return "left the level when zone " + *gate.left_with + " collapsed at frame " +
                   std::to_string(*gate.left_at);
        }
        return "left the level with an outer zone";
    case GateCause::frozen: {
        std::string chain;
        for (const BlockingZone& zone : gate.blocked_by) {
            chain += (chain.empty() ? "" : ", then ") + zone.describe();
        }
        return seen + ", but the zone stayed frozen" + (chain.empty() ? "" : ", held by " + chain);
    }
    case GateCause::wrong_total:
        if (!gate.difference) {
            return seen;
        }
        return seen + ", needs " + gate.rule + " " + number_text(gate.target, digits) +
               " (difference " + number_text(*gate.difference, digits) + ")";
    case GateCause::out_of_steps:
        return seen + ", but the steps ran out before the gate was tried on it";
    case GateCause::not_a_number:
        return seen + ", target " + number_text(gate.target, digits) + ": NaN meets no rule";
    case GateCause::empty:
        break;
    }
    return seen;
}

/// A number of the outcome: the text "NaN", "inf" or "-inf" when it is not finite, so that
/// nothing is lost where a frame would write null.
nlohmann::json number_json(double value) {
    return std::isfinite(value) ? nlohmann::json(value) : nlohmann::json(readable_number(value));
}

nlohmann::json number_json(const std::optional<double>& value) {
    return value ? number_json(*value) : nlohmann::json(nullptr);
}

/// Charges as the frames write them: a magnitude that is not finite is null.
nlohmann::json charges_json(const std::vector<Charge>& charges) {
    nlohmann::json list = nlohmann::json::array();
    for (const Charge& charge : charges) {
        nlohmann::json item = charge.to_json();
        if (!std::isfinite(charge.magnitude)) {
            item["magnitude"] = nullptr;
        }
        list.push_back(std::move(item));
    }
    return list;
}

nlohmann::json refusal_json(const AgentRefusal& refusal) {
    return {{"name", refusal.name},
            {"reason", refusal.reason},
            {"text", refusal.describe()},
            {"visual_id", refusal.visual_id}};
}

nlohmann::json blocking_json(const BlockingZone& zone) {
    nlohmann::json agents = nlohmann::json::array();
    for (const AgentRefusal& refusal : zone.agents) {
        agents.push_back(refusal_json(refusal));
    }
    return {{"agents", std::move(agents)},
            {"charges", charges_json(zone.charges)},
            {"frozen", zone.frozen},
            {"text", zone.describe()},
            {"zone", zone.zone}};
}

nlohmann::json gate_json(const ClosedGate& gate) {
    nlohmann::json blocked = nlohmann::json::array();
    for (const BlockingZone& zone : gate.blocked_by) {
        blocked.push_back(blocking_json(zone));
    }
    return {{"blocked_by", std::move(blocked)},
            {"cause", gate_cause_text(gate.cause)},
            {"difference", number_json(gate.difference)},
            {"exact_text", gate.describe(NumberDigits::every)},
            {"last_total", number_json(gate.last_total)},
            {"left_at", gate.left_at ? nlohmann::json(*gate.left_at) : nlohmann::json(nullptr)},
            {"left_with", gate.left_with ? nlohmann::json(*gate.left_with) : nlohmann::json()},
            {"removed", gate.removed},
            {"rule", gate.rule},
            {"target", number_json(gate.target)},
            {"text", gate.describe()},
            {"visual_id", gate.visual_id},
            {"zone", gate.zone},
            {"zone_frozen", gate.zone_frozen}};
}

nlohmann::json idle_json(const IdleAgent& agent) {
    return {{"name", agent.name},     {"reason", agent.reason},       {"removed", agent.removed},
            {"text", agent.describe()}, {"visual_id", agent.visual_id}, {"zone", agent.zone}};
}

} // namespace

const char* run_verdict_text(RunVerdict verdict) {
    switch (verdict) {
    case RunVerdict::solved:
        return "solved";
    case RunVerdict::stuck:
        return "stuck";
    case RunVerdict::out_of_steps:
        return "out of steps";
    case RunVerdict::ended:
        break;
    }
    return "ended";
}

const char* gate_cause_text(GateCause cause) {
    switch (cause) {
    case GateCause::frozen:
        return "frozen";
    case GateCause::empty:
        return "empty";
    case GateCause::left_level:
        return "left_level";
    case GateCause::not_a_number:
        return "not_a_number";
    case GateCause::out_of_steps:
        return "out_of_steps";
    case GateCause::wrong_total:
        break;
    }
    return "wrong_total";
}

std::string AgentRefusal::describe() const { return name + " \"" + visual_id + "\": " + reason; }

std::string BlockingZone::describe() const {
    std::string why;
    for (const AgentRefusal& agent : agents) {
        why += (why.empty() ? "" : "; ") + agent.describe();
    }
    if (agents.empty()) {
        why = frozen ? "frozen by the zones below it"
                     : counted(charges.size(), "charge") + " and no agent left to combine them";
    }
    return "zone " + zone + " (" + why + ")";
}

std::string ClosedGate::describe(NumberDigits digits) const {
    return "gate \"" + visual_id + "\" in zone " + zone + " (" + rule + " " +
           number_text(target, digits) + "): " + cause_text(*this, digits);
}

std::string IdleAgent::describe() const {
    const std::string why = removed ? "left the level with its zone" : reason;
    return name + " \"" + visual_id + "\" in zone " + zone + (why.empty() ? "" : ": " + why);
}

nlohmann::json RunOutcome::to_json() const {
    nlohmann::json gates = nlohmann::json::array();
    for (const ClosedGate& gate : closed_gates) {
        gates.push_back(gate_json(gate));
    }
    nlohmann::json idle = nlohmann::json::array();
    for (const IdleAgent& agent : idle_agents) {
        idle.push_back(idle_json(agent));
    }
    nlohmann::json charges = nlohmann::json::array();
    for (const ZoneCharges& zone : final_charges) {
        charges.push_back(nlohmann::json{
            {"charges", charges_json(zone.charges)}, {"path", zone.path}, {"zone", zone.zone}});
    }
    return {{"closed_gates", std::move(gates)},
            {"collapses", collapses},
            {"final_charges", std::move(charges)},
            {"final_message", final_message},
            {"final_status", final_status},
            {"frames", frames},
            {"gates_opened", gates_opened},
            {"idle_agents", std::move(idle)},
            {"outcome", run_verdict_text(outcome)},
            {"spells", spells}};
}

} // namespace orv
