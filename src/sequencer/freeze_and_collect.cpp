// Which zones may act in a step, and in which order their agents are tried.
#include "orv/sequencer.hpp"
#include "orv/zone_walk.hpp"

namespace orv {

void NarrativeSequencer::update_freeze_states(Environment* zone) {
    // A zone's flag depends only on its direct sub-zones' agents and charges, never on their
    // flags, so the order of the visits does not matter.
    walk_zones(
        *zone,
        [](Environment& current, Environment* /*parent*/, std::size_t /*index*/) {
            bool frozen = false;
            for (const auto& sub : current.sub_environments) {
                frozen = frozen || !sub->agents.empty() || sub->charges.size() > 1;
            }
            current.is_time_frozen = frozen;
        },
        SkipZone{});
}

void NarrativeSequencer::collect_agents(Environment* zone, CandidateList& candidates) {
    // Post-order, sub-zones in list order: inner zones act before the zones around them,
    // whether or not the outer zones are frozen.
    walk_zones(*zone, SkipZone{},
               [&](Environment& done, Environment* /*parent*/, std::size_t /*index*/) {
                   if (!done.is_time_frozen) {
                       for (const auto& agent : done.agents) {
                           candidates.emplace_back(agent, &done);
                       }
                   }
                   return false;
               });
}

} // namespace orv
