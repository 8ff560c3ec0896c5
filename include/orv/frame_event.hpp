#pragma once

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

} // namespace orv
