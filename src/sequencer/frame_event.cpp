#include "orv/frame_event.hpp"

#include "event_text.hpp"
#include "orv/json_fields.hpp"

namespace orv {

const char* ORV_FRAME_EVENT_RUNNING = "RUNNING";
const char* ORV_FRAME_EVENT_FINISHED = "FINISHED";
const char* ORV_FRAME_EVENT_ERROR = "ERROR";
const char* ORV_FRAME_EVENT_LEVEL_COMPLETE = "LEVEL_COMPLETE";
const char* ORV_FRAME_EVENT_COLLAPSE_ZONE = "COLLAPSE_ZONE";
const char* ORV_FRAME_EVENT_CAST_SPELL = "CAST_SPELL";

void FrameEvent::describe_json(JsonFields& fields) const {
    fields.string("agent_name", agent_name);
    fields.string("description", description);
    fields.string("type", type);
    fields.string("visual_id", visual_id);
}

nlohmann::json FrameEvent::to_json() const { return json_value_of(*this); }

void FrameEvent::write_json(JsonTextWriter& out) const { write_json_of(out, *this); }

std::optional<std::string> event_zone_id(const FrameEvent& event) {
    if (event.type == event_text(ORV_FRAME_EVENT_COLLAPSE_ZONE)) {
        const std::string prefix = kCollapseVisualPrefix;
        const bool marked = event.visual_id.compare(0, prefix.size(), prefix) == 0;
        return marked ? event.visual_id.substr(prefix.size()) : event.visual_id;
    }
    if (event.type == event_text(ORV_FRAME_EVENT_CAST_SPELL)) {
        // The description begins with the caster's name and the mark.
        const std::size_t start = event.agent_name.size() + std::string(kSpellZoneMark).size();
        return start < event.description.size() ? event.description.substr(start) : "";
    }
    return std::nullopt;
}

} // namespace orv
