// Which zones may act in a step, and in which order their agents are tried.
//
// Both walks use explicit work lists instead of recursion: a level may nest zones deeper than
// the stack of a thread can hold frames for.
#include <utility>
#include <vector>

#include "orv/interrupt.hpp"
#include "orv/sequencer.hpp"

namespace orv {

namespace {

/// A zone whose sub-zones are being walked; `next` is the index of the next one to visit.
struct OpenZone {
    Environment* zone;
    std::size_t next;
};

} // namespace

void NarrativeSequencer::update_freeze_states(Environment* zone) {
    // A zone's flag depends only on its direct sub-zones' agents and charges, never on their
    // flags, so the zones may be visited in any order.
    std::vector<Environment*> pending{zone};
    while (!pending.empty()) {
        check_interrupt();
        Environment* current = pending.back();
        pending.pop_back();
        bool frozen = false;
        for (const auto& sub : current->sub_environments) {
            frozen = frozen || !sub->agents.empty() || sub->charges.size() > 1;
            pending.push_back(sub.get());
        }
        current->is_time_frozen = frozen;
    }
}

void NarrativeSequencer::collect_agents(Environment* zone, CandidateList& candidates) {
    // Post-order, sub-zones in list order: inner zones act before the zones around them,
    // whether or not the outer zones are frozen.
    std::vector<OpenZone> open{{zone, 0}};
    while (!open.empty()) {
        check_interrupt();
        OpenZone& top = open.back();
        if (top.next < top.zone->sub_environments.size()) {
            Environment* sub = top.zone->sub_environments[top.next++].get();
            open.push_back({sub, 0}); // `top` is not used after this
            continue;
        }
        Environment* done = top.zone;
        open.pop_back();
        if (!done->is_time_frozen) {
            for (const auto& agent : done->agents) {
                candidates.emplace_back(agent, done);
            }
        }
    }
}

} // namespace orv
