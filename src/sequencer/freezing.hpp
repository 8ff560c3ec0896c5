#pragma once

// Which zones may act in a step: the freeze rule and the collection of one zone's agents.
#include "orv/sequencer.hpp"

namespace orv {

/// A zone is frozen while one of its direct sub-zones still has an agent or more than one
/// charge. The flag depends on the sub-zones' agents and charges, never on their flags, so
/// zones may be updated in any order.
inline void update_freeze_state(Environment& zone) {
    bool frozen = false;
    for (const auto& sub : zone.sub_environments) {
        frozen = frozen || !sub->agents.empty() || sub->charges.size() > 1;
    }
    zone.is_time_frozen = frozen;
}

/// Appends the agents of `zone` when it is not frozen, in its list's order.
inline void collect_unfrozen(Environment& zone, CandidateList& candidates) {
    if (!zone.is_time_frozen) {
        for (const auto& agent : zone.agents) {
            candidates.emplace_back(agent, &zone);
        }
    }
}

inline void collect_unfrozen(Environment& zone, QuietCandidateList& candidates) {
    if (!zone.is_time_frozen) {
        for (const auto& agent : zone.agents) {
            candidates.emplace_back(agent.get(), &zone);
        }
    }
}

} // namespace orv
