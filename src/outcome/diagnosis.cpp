#include "diagnosis.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include "orv/agents.hpp"
#include "orv/interrupt.hpp"

namespace orv::outcome {

namespace {

/// A zone that keeps the zone around it frozen.
bool blocks(const Environment& zone) {
    return !zone.agents.empty() || zone.charges.size() > 1;
}

/// A gate like `gate` aiming at NaN: what a target that is not finite reads back as.
std::shared_ptr<MagicianAgent> aiming_at_nan(const GoalGate& gate) {
    std::shared_ptr<MagicianAgent> copy = make_agent(gate.name, gate.visual_id);
    auto& copied = dynamic_cast<GoalGate&>(*copy);
    copied.target_value = std::numeric_limits<double>::quiet_NaN();
    if (const auto* judge = dynamic_cast<const InequalityGate*>(&gate)) {
        dynamic_cast<InequalityGate&>(copied).comparison_type = judge->comparison_type;
    }
    return copy;
}

} // namespace

double as_written(double value) {
    return std::isfinite(value) ? value : std::numeric_limits<double>::quiet_NaN();
}

const std::vector<Charge>& Diagnosis::written_charges(const Environment& zone) {
    const bool all_finite = std::all_of(zone.charges.begin(), zone.charges.end(),
                                        [](const Charge& charge) {
                                            return std::isfinite(charge.magnitude);
                                        });
    if (all_finite) {
        return zone.charges;
    }
    auto known = written_.find(&zone);
    if (known != written_.end()) {
        return known->second;
    }
    std::vector<Charge> charges = zone.charges;
    for (Charge& charge : charges) {
        charge.magnitude = as_written(charge.magnitude);
    }
    return written_.emplace(&zone, std::move(charges)).first->second;
}

std::optional<double> Diagnosis::total(const Environment& zone) {
    if (zone.charges.empty()) {
        return std::nullopt;
    }
    return signed_total(written_charges(zone));
}

std::string Diagnosis::decline_reason(const MagicianAgent& agent, const Environment& zone) {
    const std::vector<Charge>& charges = written_charges(zone);
    const auto* gate = dynamic_cast<const GoalGate*>(&agent);
    if (gate != nullptr && !std::isfinite(gate->target_value)) {
        return aiming_at_nan(*gate)->decline_reason(charges);
    }
    return agent.decline_reason(charges);
}

const AgentRefusal& Diagnosis::refusal(const MagicianAgent& agent, const Environment& zone) {
    const auto key = std::make_pair(&agent, &zone);
    auto known = refusals_.find(key);
    if (known != refusals_.end()) {
        return known->second;
    }
    std::string reason = decline_reason(agent, zone);
    if (reason.empty()) {
        reason = shown_frozen(zone) ? kWaits : kUntried;
    }
    AgentRefusal refusal{agent.name, agent.visual_id, std::move(reason)};
    return refusals_.emplace(key, std::move(refusal)).first->second;
}

const std::vector<BlockingZone>& Diagnosis::blocking_zones(const Environment& zone) {
    auto known = blocking_.find(&zone);
    if (known != blocking_.end()) {
        return known->second;
    }
    std::vector<BlockingZone> found;
    // Depth first, sub-zones in list order: a blocking zone that is frozen itself is held by
    // the zones below it in turn, which follow it.
    std::vector<const Environment*> pending;
    for (auto sub = zone.sub_environments.rbegin(); sub != zone.sub_environments.rend(); ++sub) {
        pending.push_back(sub->get());
    }
    while (!pending.empty()) {
        check_interrupt();
        const Environment& below = *pending.back();
        pending.pop_back();
        if (!blocks(below)) {
            continue;
        }
        BlockingZone blocking{below.id, shown_frozen(below), {}, {}};
        for (const auto& agent : below.agents) {
            blocking.agents.push_back(refusal(*agent, below));
        }
        blocking.charges = below.charges;
        found.push_back(std::move(blocking));
        if (shown_frozen(below)) {
            for (auto sub = below.sub_environments.rbegin(); sub != below.sub_environments.rend();
                 ++sub) {
                pending.push_back(sub->get());
            }
        }
    }
    return blocking_.emplace(&zone, std::move(found)).first->second;
}

} // namespace orv::outcome
