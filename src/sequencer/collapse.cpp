// A zone worked down to one charge and no agents merges into its parent.
#include <utility>
#include <vector>

#include "event_text.hpp"
#include "orv/interrupt.hpp"
#include "orv/sequencer.hpp"

namespace orv {

namespace {

bool is_resolved(const Environment& zone) {
    return zone.agents.empty() && zone.charges.size() == 1;
}

/// A zone whose sub-zones are being searched; `next` is the index of the one under search.
struct OpenZone {
    Environment* zone;
    std::size_t next;
};

} // namespace

bool NarrativeSequencer::check_and_collapse(Environment* zone) {
    // Depth first, and each sub-zone's own subtree is searched before the sub-zone itself is
    // tested, so a resolved grandchild goes before its parent and an earlier branch before a
    // later one. A work list stands in for recursion (see freeze_and_collect.cpp).
    std::vector<OpenZone> open{{zone, 0}};
    while (true) {
        check_interrupt();
        OpenZone& top = open.back();
        if (top.next < top.zone->sub_environments.size()) {
            open.push_back({top.zone->sub_environments[top.next].get(), 0});
            continue;
        }
        // `top`'s subtree holds nothing to collapse; now test `top` itself in its parent.
        Environment& searched = *top.zone;
        open.pop_back();
        if (open.empty()) {
            return false; // the zone passed in is never collapsed itself
        }
        OpenZone& parent = open.back();
        if (is_resolved(searched)) {
            collapse_into(*parent.zone, parent.next);
            return true;
        }
        ++parent.next;
    }
}

void NarrativeSequencer::collapse_into(Environment& parent, std::size_t index) {
    Environment& sub = *parent.sub_environments[index];
    // Everything that can fail to allocate happens before the tree changes.
    FrameEvent event{"Chronomancer", "shield_" + sub.id, event_text(ORV_FRAME_EVENT_COLLAPSE_ZONE),
                     "Zone " + sub.id + " has resolved and merged."};
    parent.charges.push_back(sub.charges.front());
    parent.mark_charges_changed();
    last_event = std::move(event);
    // Last: this may destroy `sub` with whatever it still holds.
    parent.remove_sub_environment(index);
}

} // namespace orv
