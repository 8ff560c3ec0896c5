#include "work_level.hpp"

#include <algorithm>
#include <utility>

#include "orv/interrupt.hpp"
#include "orv/zone_walk.hpp"

namespace orv::solver {

namespace {

/// A reference that owns nothing (the aliasing constructor with an empty owner): copying and
/// dropping it counts no references.
template <class Object>
std::shared_ptr<Object> unowned(Object* object) {
    return std::shared_ptr<Object>(std::shared_ptr<Object>(), object);
}

} // namespace

WorkLevel::WorkLevel(std::shared_ptr<Environment> level) : sequencer_(level) {
    take_apart(level);
}

void WorkLevel::take_apart(const std::shared_ptr<Environment>& top) {
    zones_.push_back(top);
    walk_zones(
        *top,
        [&](Environment& /*zone*/, Environment* parent, std::size_t index) {
            if (parent != nullptr) {
                zones_.push_back(parent->sub_environments[index]);
            }
        },
        SkipZone{});
    for (const auto& zone : zones_) {
        ZoneStart start{zone->charges, {}, {}, zone->is_time_frozen};
        for (auto& agent : zone->agents) {
            agents_.push_back(agent);
            auto* gate = dynamic_cast<GoalGate*>(agent.get());
            agent_starts_.push_back({agent.get(), agent->state, gate, gate && gate->is_open});
            if (gate != nullptr) {
                gates_.push_back(gate);
            }
            agent = unowned(agent.get());
            start.agents.push_back(agent);
        }
        for (auto& sub : zone->sub_environments) {
            sub = unowned(sub.get());
            start.sub_environments.push_back(sub);
        }
        starts_.push_back(std::move(start));
    }
}

WorkLevel::~WorkLevel() {
    // The zones die in any order: first every list lets go of the zones it names.
    for (const auto& zone : zones_) {
        while (!zone->sub_environments.empty()) {
            zone->remove_sub_environment(zone->sub_environments.size() - 1);
        }
    }
}

MagicianAgent& WorkLevel::keep(std::shared_ptr<MagicianAgent> agent) {
    agents_.push_back(agent);
    agent_starts_.push_back({agent.get(), agent->state, nullptr, false});
    return *agent;
}

void WorkLevel::reset() {
    for (const AgentStart& start : agent_starts_) {
        start.agent->state = start.state;
        if (start.gate != nullptr) {
            start.gate->is_open = start.is_open;
        }
    }
    for (std::size_t index = 0; index < zones_.size(); ++index) {
        Environment& zone = *zones_[index];
        const ZoneStart& start = starts_[index];
        for (const auto& sub : zone.sub_environments) {
            --sub->parent_count;
        }
        zone.sub_environments = start.sub_environments;
        for (const auto& sub : zone.sub_environments) {
            ++sub->parent_count;
        }
        zone.charges = start.charges;
        zone.agents = start.agents;
        zone.is_time_frozen = start.is_time_frozen;
        zone.mark_charges_changed();
    }
    sequencer_.current_frame = 0;
    sequencer_.is_finished = false;
}

void WorkLevel::append(std::size_t zone, MagicianAgent& agent) {
    zones_[zone]->agents.push_back(unowned(&agent));
}

bool WorkLevel::run_solves() {
    if (sequencer_.run_quietly() != NarrativeSequencer::RunEnd::finished || gates_.empty()) {
        return false;
    }
    return std::all_of(gates_.begin(), gates_.end(), [](const GoalGate* gate) {
        return gate->is_open;
    });
}

} // namespace orv::solver
