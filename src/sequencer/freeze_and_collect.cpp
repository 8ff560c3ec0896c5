// Which zones may act in a step, and in which order their agents are tried.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "freezing.hpp"
#include "orv/interrupt.hpp"
#include "orv/sequencer.hpp"
#include "orv/zone_walk.hpp"

namespace orv {

namespace {

/// Up to this many candidates an insertion sort in place orders them without memory.
constexpr std::size_t kInsertionSortLimit = 32;

/// Priority, highest first, keeping the collection order among equals (a stable order).
template <class List>
void order_stably(List& candidates) {
    const auto before = [](const auto& a, const auto& b) {
        return a.first->priority > b.first->priority;
    };
    if (candidates.size() <= kInsertionSortLimit) {
        for (std::size_t next = 1; next < candidates.size(); ++next) {
            auto moving = std::move(candidates[next]);
            std::size_t at = next;
            for (; at > 0 && before(moving, candidates[at - 1]); --at) {
                candidates[at] = std::move(candidates[at - 1]);
            }
            candidates[at] = std::move(moving);
        }
        return;
    }
    // Many candidates: the keys are read once into one array, since reading each agent's
    // priority at every comparison waits on memory far more.
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
    List ordered;
    ordered.reserve(candidates.size());
    for (const Key& key : keys) {
        ordered.push_back(std::move(candidates[key.index]));
    }
    candidates = std::move(ordered);
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

void order_by_priority(CandidateList& candidates) { order_stably(candidates); }

void order_by_priority(QuietCandidateList& candidates) { order_stably(candidates); }

} // namespace orv
