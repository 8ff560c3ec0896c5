#pragma once

#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "orv/json_text.hpp"

namespace orv {

class JsonFields;

// Event-type texts, used as frame statuses and as event types. Ordinary pointer variables:
// every use reads the variable at that moment and copies the text it points to.
extern const char* ORV_FRAME_EVENT_RUNNING;
extern const char* ORV_FRAME_EVENT_FINISHED;
extern const char* ORV_FRAME_EVENT_ERROR;
extern const char* ORV_FRAME_EVENT_LEVEL_COMPLETE;
extern const char* ORV_FRAME_EVENT_COLLAPSE_ZONE;
extern const char* ORV_FRAME_EVENT_CAST_SPELL;

/// The words that put a zone's id into an event: a collapse's visual id is the prefix and the
/// zone's id; a spell's description is the caster's name, the mark and the zone's id.
inline constexpr const char* kCollapseVisualPrefix = "shield_";
inline constexpr const char* kSpellZoneMark = " executed operation in ";

/// One thing that happened in a frame: a spell, a zone collapse or the end of the level.
/// A value with copies of its texts; no links to the agent or zone it speaks of.
struct FrameEvent {
    std::string agent_name;
    std::string visual_id;
    std::string type;
    /// One sentence; it is also the frame's message.
    std::string description;

    /// {"agent_name", "description", "type", "visual_id"}, all texts.
    nlohmann::json to_json() const;
    /// Appends the text of to_json() without building the value.
    void write_json(JsonTextWriter& out) const;
    /// The members of both, in key order.
    void describe_json(JsonFields& fields) const;
};

/// The id of the zone an event names: the caster's zone, or the zone that collapsed; none for
/// an event of another type. For frames that carry no step record: the one reader of the
/// words above.
std::optional<std::string> event_zone_id(const FrameEvent& event);

} // namespace orv
