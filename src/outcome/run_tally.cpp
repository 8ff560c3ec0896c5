// Counting the steps of a run, and classifying it from the tree its last frame left.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <set>
#include <stdexcept>
#include <utility>

#include <nlohmann/json.hpp>

#include "../sequencer/event_text.hpp"
#include "diagnosis.hpp"
#include "orv/agent_kinds.hpp"
#include "orv/agents.hpp"
#include "orv/environment.hpp"
#include "orv/frame_event.hpp"
#include "orv/run_outcome.hpp"
#include "orv/zone_walk.hpp"

namespace orv {

namespace {

using outcome::as_written;
using outcome::Diagnosis;
using outcome::shown_frozen;

/// The place of the zone a walk enters ("" for the root, "1.0" for the first sub-zone of its
/// second), from the walk's stack of its ancestors: the index taken below each is its next
/// sub-zone's less one. Made only when asked for, since a deep tree's places are long.
std::string place_of(const std::vector<OpenZone<const Environment>>& open,
                     const Environment* parent) {
    std::string path;
    if (parent == nullptr) {
        return path; // the root: the stack still holds the previous walk's zones
    }
    for (const auto& around : open) {
        path += (path.empty() ? "" : ".") + std::to_string(around.next - 1);
    }
    return path;
}

/// A frame number of a document, refused unless it is a whole number that an int32 holds (a
/// cast of any other number would be undefined).
std::int32_t frame_number(const nlohmann::json& value) {
    if (value.is_number_integer()) {
        const auto number = value.get<std::int64_t>();
        if (number >= 0 && number <= std::numeric_limits<std::int32_t>::max()) {
            return static_cast<std::int32_t>(number);
        }
    }
    throw std::invalid_argument("a frame number must be a whole number from 0 to " +
                                std::to_string(std::numeric_limits<std::int32_t>::max()) +
                                ", not " + value.dump());
}

bool is_gate_name(const std::string& name) {
    const AgentKind* kind = find_agent_kind(name);
    return kind != nullptr && kind->is_gate();
}

/// The cause of a gate still in its zone at the end of the run. A NaN target can never be
/// met, so it comes first; a frozen zone was not tried in the last step.
GateCause cause_of(double target, std::optional<double> total, bool frozen) {
    if (std::isnan(target)) {
        return GateCause::not_a_number;
    }
    if (frozen) {
        return GateCause::frozen;
    }
    if (!total) {
        return GateCause::empty;
    }
    return std::isnan(*total) ? GateCause::not_a_number : GateCause::wrong_total;
}

ClosedGate closed_gate(Diagnosis& diagnosis, bool ran_out, const GoalGate& gate,
                       const Environment& zone) {
    ClosedGate closed;
    closed.visual_id = gate.visual_id;
    closed.zone = zone.id;
    closed.rule = gate.shown_rule();
    closed.target = as_written(gate.target_value);
    closed.zone_frozen = shown_frozen(zone);
    closed.last_total = diagnosis.total(zone);
    closed.cause = cause_of(closed.target, closed.last_total, closed.zone_frozen);
    // A total the gate accepts that it was never tried on: the budget ran out first.
    if (closed.cause == GateCause::wrong_total && ran_out &&
        diagnosis.decline_reason(gate, zone).empty()) {
        closed.cause = GateCause::out_of_steps;
    }
    if (closed.last_total) {
        closed.difference = *closed.last_total - closed.target;
    }
    if (closed.zone_frozen) {
        closed.blocked_by = diagnosis.blocking_zones(zone);
    }
    return closed;
}

/// The zone's place for the walk's stack of zones being visited: its depth, with the root's 0.
template <class Open>
std::size_t depth_of(const Environment* parent, const Open& open) {
    return parent == nullptr ? 0 : open.size();
}

} // namespace

RunTally::RunTally(const Environment& start) {
    std::vector<std::size_t> open_zones; // in zones_, the zone entered at each depth
    std::vector<OpenZone<const Environment>> open;
    const auto enter = [&](const Environment& zone, const Environment* parent, std::size_t) {
        const std::size_t depth = depth_of(parent, open);
        open_zones.resize(depth);
        zones_.push_back({zone.id, depth == 0 ? std::nullopt
                                              : std::optional<std::size_t>(open_zones.back())});
        open_zones.push_back(zones_.size() - 1);
        for (const auto& agent : zone.agents) {
            const auto* gate = dynamic_cast<const GoalGate*>(agent.get());
            placed_.push_back({agent->name, agent->visual_id, zones_.size() - 1, gate != nullptr,
                               gate != nullptr ? gate->shown_rule() : "",
                               gate != nullptr ? as_written(gate->target_value) : 0.0});
        }
    };
    walk_zones(start, enter, SkipZone{}, open);
}

void RunTally::count(const StepRecord& record) {
    if (!record.zone) {
        return;
    }
    if (record.kind == StepRecord::Kind::collapse) {
        count_collapse(record.frame, record.zone->id);
    } else if (record.kind == StepRecord::Kind::spell || record.kind == StepRecord::Kind::gate) {
        count_cast(record.agent_name, record.agent_visual_id, record.zone->id,
                   record.kind == StepRecord::Kind::gate);
    }
}

void RunTally::count_record(const nlohmann::json& record) {
    const nlohmann::json& zone = record.at("zone");
    const nlohmann::json& agent = record.at("agent");
    if (zone.is_null()) {
        return;
    }
    if (record.at("step") == "collapse") {
        count_collapse(frame_number(record.at("frame")), zone.at("id"));
    } else if (!agent.is_null()) {
        const std::string& name = agent.at("name").get_ref<const std::string&>();
        count_cast(name, agent.at("visual_id"), zone.at("id"), is_gate_name(name));
    }
}

void RunTally::count_event(const nlohmann::json& meta) {
    const nlohmann::json& event = meta.at("last_event");
    if (event.is_null()) {
        return;
    }
    const FrameEvent read{event.at("agent_name"), event.at("visual_id"), event.at("type"),
                          event.at("description")};
    const std::optional<std::string> zone = event_zone_id(read);
    if (!zone) {
        return;
    }
    if (read.type == event_text(ORV_FRAME_EVENT_COLLAPSE_ZONE)) {
        count_collapse(frame_number(meta.at("frame_index")), *zone);
    } else {
        count_cast(read.agent_name, read.visual_id, *zone, is_gate_name(read.agent_name));
    }
}

void RunTally::count_collapse(std::int32_t frame, const std::string& zone) {
    ++collapses_;
    collapsed_.emplace_back(frame, zone);
}

void RunTally::count_cast(const std::string& name, const std::string& visual_id,
                          const std::string& zone, bool is_gate) {
    ++cast_[{name, visual_id, zone}];
    ++(is_gate ? gates_opened_ : spells_);
}

RunOutcome RunTally::classify(const Environment& last, const LastFrame& frame) const {
    RunOutcome result;
    result.frames = frame.frame_index;
    result.spells = spells_;
    result.collapses = collapses_;
    result.gates_opened = gates_opened_;
    result.final_status = frame.status;
    result.final_message = frame.message;

    std::vector<std::pair<const MagicianAgent*, const Environment*>> remaining;
    std::map<AgentKey, long> remaining_count;
    std::vector<OpenZone<const Environment>> open;
    const auto enter = [&](const Environment& zone, const Environment* parent, std::size_t) {
        if (!zone.charges.empty()) {
            result.final_charges.push_back({zone.id, place_of(open, parent), zone.charges});
        }
        for (const auto& agent : zone.agents) {
            remaining.emplace_back(agent.get(), &zone);
            ++remaining_count[{agent->name, agent->visual_id, zone.id}];
        }
    };
    walk_zones(last, enter, SkipZone{}, open);

    Diagnosis diagnosis;
    const bool ran_out = frame.status == event_text(ORV_FRAME_EVENT_ERROR);
    for (const auto& [agent, zone] : remaining) {
        if (const auto* gate = dynamic_cast<const GoalGate*>(agent)) {
            result.closed_gates.push_back(closed_gate(diagnosis, ran_out, *gate, *zone));
        } else {
            result.idle_agents.push_back({agent->name, agent->visual_id, zone->id,
                                          diagnosis.refusal(*agent, *zone).reason, false});
        }
    }
    for (const Placed* gone : removed(remaining_count)) {
        if (gone->is_gate) {
            result.closed_gates.push_back(removed_gate(*gone));
        } else {
            result.idle_agents.push_back(removed_agent(*gone));
        }
    }

    const bool had_gates = std::any_of(placed_.begin(), placed_.end(),
                                       [](const Placed& placed) { return placed.is_gate; });
    if (ran_out) {
        result.outcome = RunVerdict::out_of_steps;
    } else if (!result.closed_gates.empty()) {
        result.outcome = RunVerdict::stuck;
    } else {
        result.outcome = had_gates ? RunVerdict::solved : RunVerdict::ended;
    }
    return result;
}

std::vector<const RunTally::Placed*>
RunTally::removed(const std::map<AgentKey, long>& remaining) const {
    // As multisets of (name, visual id, zone id): what was placed, less what remains, less
    // what cast, each difference no lower than zero.
    std::map<AgentKey, long> gone;
    for (const Placed& placed : placed_) {
        ++gone[{placed.name, placed.visual_id, zones_[placed.zone].id}];
    }
    for (auto& [key, count] : gone) {
        const auto still = remaining.find(key);
        count = std::max(0L, count - (still == remaining.end() ? 0L : still->second));
        const auto cast = cast_.find(key);
        count = std::max(0L, count - (cast == cast_.end() ? 0L : cast->second));
    }
    std::vector<const Placed*> left;
    for (const Placed& placed : placed_) {
        long& count = gone[{placed.name, placed.visual_id, zones_[placed.zone].id}];
        if (count > 0) {
            --count;
            left.push_back(&placed);
        }
    }
    return left;
}

ClosedGate RunTally::removed_gate(const Placed& gate) const {
    ClosedGate closed;
    closed.visual_id = gate.visual_id;
    closed.zone = zones_[gate.zone].id;
    closed.rule = gate.rule;
    closed.target = gate.target;
    closed.removed = true;
    closed.cause = GateCause::left_level;
    // The zones around the gate's zone that can collapse: all but the top zone.
    std::set<std::string> outer;
    for (auto around = zones_[gate.zone].parent; around && zones_[*around].parent;
         around = zones_[*around].parent) {
        outer.insert(zones_[*around].id);
    }
    const auto taken = std::find_if(collapsed_.begin(), collapsed_.end(),
                                    [&](const auto& collapse) {
                                        return outer.count(collapse.second) != 0;
                                    });
    if (taken != collapsed_.end()) {
        closed.left_at = taken->first;
        closed.left_with = taken->second;
    }
    return closed;
}

IdleAgent RunTally::removed_agent(const Placed& agent) const {
    return {agent.name, agent.visual_id, zones_[agent.zone].id, "", true};
}

RunOutcome classify_documents(nlohmann::json start, const nlohmann::json& steps,
                              nlohmann::json last) {
    RunTally tally(*Environment::from_level_json(std::move(start)));
    if (!steps.is_array()) {
        throw std::invalid_argument("the steps of a run must be a list");
    }
    for (std::size_t index = 0; index < steps.size(); ++index) {
        const nlohmann::json& step = steps[index];
        try {
            if (step.is_object() && step.contains("step")) {
                tally.count_record(step);
            } else {
                tally.count_event(step);
            }
        } catch (const nlohmann::json::exception&) {
            throw std::invalid_argument("step " + std::to_string(index) +
                                        " is neither a step record nor a frame's meta object");
        } catch (const std::invalid_argument& error) {
            throw std::invalid_argument("step " + std::to_string(index) + ": " + error.what());
        }
    }
    LastFrame frame;
    try {
        const nlohmann::json& meta = last.at("meta");
        frame = {frame_number(meta.at("frame_index")), meta.at("status"), meta.at("message")};
    } catch (const nlohmann::json::exception&) {
        throw std::invalid_argument("the last frame has no \"meta\" object with "
                                    "\"frame_index\", \"status\" and \"message\"");
    } catch (const std::invalid_argument& error) {
        throw std::invalid_argument(std::string("the last frame: ") + error.what());
    }
    return tally.classify(*Environment::from_level_json(std::move(last)), frame);
}

} // namespace orv
