// A zone worked down to one charge and no agents merges into its parent.
#include <optional>
#include <utility>
#include <vector>

#include "event_text.hpp"
#include "orv/sequencer.hpp"
#include "orv/zone_walk.hpp"

namespace orv {

namespace {

bool is_resolved(const Environment& zone) {
    return zone.agents.empty() && zone.charges.size() == 1;
}

} // namespace

bool NarrativeSequencer::check_and_collapse(Environment* zone) {
    return collapse_first_resolved(zone, false);
}

bool NarrativeSequencer::collapse_first_resolved(Environment* zone, bool quiet) {
    // Post-order: each sub-zone's own subtree is searched before the sub-zone itself is
    // tested, so a resolved grandchild goes before its parent and an earlier branch before a
    // later one. The zone passed in is never collapsed itself.
    const auto collapse_if_resolved = [&](Environment& searched, Environment* parent,
                                          std::size_t index) {
        if (parent == nullptr || !is_resolved(searched)) {
            return false;
        }
        collapse_into(*parent, index, quiet);
        return true;
    };
    return quiet ? walk_zones(*zone, SkipZone{}, collapse_if_resolved, quiet_walk)
                 : walk_zones(*zone, SkipZone{}, collapse_if_resolved);
}

void NarrativeSequencer::collapse_into(Environment& parent, std::size_t index, bool quiet) {
    Environment& sub = *parent.sub_environments[index];
    // Everything that can fail to allocate happens before the tree changes.
    std::optional<FrameEvent> event;
    if (!quiet) {
        event = FrameEvent{"Chronomancer", "shield_" + sub.id,
                           event_text(ORV_FRAME_EVENT_COLLAPSE_ZONE),
                           "Zone " + sub.id + " has resolved and merged."};
    }
    parent.charges.push_back(sub.charges.front());
    parent.mark_charges_changed();
    if (event) {
        last_event = std::move(event);
    }
    // Last: this may destroy `sub` with whatever it still holds.
    parent.remove_sub_environment(index);
}

} // namespace orv
