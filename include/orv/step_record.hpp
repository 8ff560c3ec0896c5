#pragma once

// What a step did, as data: made by the sequencer in the step itself, for the tools that show
// a run (the narration, the viewer, the game) so that none of them works it out again from
// the frames.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "orv/charge.hpp"

namespace orv {

/// Where a zone stands in the tree, from the top zone down.
struct ZonePlace {
    /// The zone's own id.
    std::string id;
    /// The ids from the top zone to the zone, both included.
    std::vector<std::string> ids;
    /// The index of each zone in its parent's sub-zone list, from the top zone's sub-zone
    /// down: empty for the top zone itself.
    std::vector<std::size_t> path;
};

/// The record of one frame's step.
struct StepRecord {
    enum class Kind {
        /// An agent's spell took effect.
        spell,
        /// A gate opened.
        gate,
        /// A zone worked down to one charge merged into its parent.
        collapse,
        /// Nothing could cast or collapse: the level ended ("Equation Resolved.").
        end,
        /// The step budget was spent: no step was taken.
        budget,
        /// The level had already ended: no step was taken.
        none,
    };

    Kind kind = Kind::none;
    /// The frame_index of the frame.
    std::int32_t frame = 0;
    /// spell and gate: the caster's display name and visual id.
    std::string agent_name;
    std::string agent_visual_id;
    /// gate: its target and rule ("==" for the Equals Gate), and the zone's signed total.
    double target = 0.0;
    std::string rule;
    double total = 0.0;
    /// spell and gate: the caster's zone; collapse: the zone that left.
    std::optional<ZonePlace> zone;
    /// collapse: the zone that took in its charge.
    std::optional<ZonePlace> parent;
    /// spell: the charges taken and left, in list order; collapse: the charge that moved is
    /// both.
    std::vector<Charge> consumed;
    std::vector<Charge> produced;
    /// The step for a reader: "Power Sorcerer in squarer: 3 ^ 2 → 9", "Zone adder collapsed:
    /// +4 moves up to workshop"; otherwise the frame's message.
    std::string text;

    /// {"agent", "consumed", "frame", "parent", "produced", "step", "text", "zone"}, and for a
    /// gate "total"; absent places and agents are null.
    nlohmann::json to_json() const;
};

/// "spell", "gate", "collapse", "end", "budget" or "none".
const char* step_kind_text(StepRecord::Kind kind);

} // namespace orv
