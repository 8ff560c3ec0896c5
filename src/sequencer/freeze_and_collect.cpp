// Which zones may act in a step, and in which order their agents are tried.
#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "orv/interrupt.hpp"
#include "orv/sequencer.hpp"
#include "orv/zone_walk.hpp"

namespace orv {

namespace {

/// A zone is frozen while one of its direct sub-zones still has an agent or more than one
/// charge. The flag depends on the sub-zones' agents and charges, never on their flags, so
/// zones may be updated in any order.
void update_freeze_state(Environment& zone) {
    bool frozen = false;
    for (const auto& sub : zone.sub_environments) {
        frozen = frozen || !sub->agents.empty() || sub->charges.size() > 1;
    }
    zone.is_time_frozen = frozen;
}

void collect_unfrozen(Environment& zone, CandidateList& candidates) {
    if (!zone.is_time_frozen) {
        for (const auto& agent : zone.agents) {
            candidates.emplace_back(agent, &zone);
        }
    }
}

void collect_unfrozen(Environment& zone, QuietCandidateList& candidates) {
    if (!zone.is_time_frozen) {
        for (const auto& agent : zone.agents) {
            candidates.emplace_back(agent.get(), &zone);
        }
    }
}

/// update_freeze_states then collect_agents in one walk: a zone's flag is final once set
/// (see update_freeze_state), so each zone is updated and collected when it is left.
template <class List>
auto freeze_and_collect_zone(List& candidates) {
    return [&candidates](Environment& done, Environment* /*parent*/, std::size_t /*index*/) {
        update_freeze_state(done);
        collect_unfrozen(done, candidates);
        return false;
    };
}

} // namespace

void NarrativeSequencer::update_freeze_states(Environment* zone) {
    walk_zones(
        *zone,
        [](Environment& current, Environment* /*parent*/, std::size_t /*index*/) {
            update_freeze_state(current);
        },
        SkipZone{});
}

void NarrativeSequencer::collect_agents(Environment* zone, CandidateList& candidates) {
    // Post-order, sub-zones in list order: inner zones act before the zones around them,
    // whether or not the outer zones are frozen.
    walk_zones(*zone, SkipZone{},
               [&](Environment& done, Environment* /*parent*/, std::size_t /*index*/) {
                   collect_unfrozen(done, candidates);
                   return false;
               });
}

void NarrativeSequencer::freeze_and_collect(Environment* zone, CandidateList& candidates) {
    walk_zones(*zone, SkipZone{}, freeze_and_collect_zone(candidates));
}

void NarrativeSequencer::freeze_and_collect(Environment* zone, QuietCandidateList& candidates) {
    walk_zones(*zone, SkipZone{}, freeze_and_collect_zone(candidates), quiet_walk);
}

void order_by_priority(CandidateList& candidates) {
    // Stable, so that agents of equal priority keep their collection order. The keys are
    // read once into one array: sorting by reading each agent's priority at every
    // comparison waits on memory far more.
    struct Key {
        std::int32_t priority;
        std::uint32_t index;
    };
    std::vector<Key> keys;
    keys.reserve(candidates.size());
    for (std::size_t index = 0; index < candidates.size(); ++index) {
        check_interrupt();
        keys.push_back({candidates[index].first->priority, static_cast<std::uint32_t>(index)});
    }
    std::stable_sort(keys.begin(), keys.end(),
                     [](const Key& a, const Key& b) { return a.priority > b.priority; });
    CandidateList ordered;
    ordered.reserve(candidates.size());
    for (const Key& key : keys) {
        ordered.push_back(std::move(candidates[key.index]));
    }
    candidates = std::move(ordered);
}

} // namespace orv
