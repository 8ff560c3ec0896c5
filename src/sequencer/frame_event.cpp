#include "orv/frame_event.hpp"

#include <nlohmann/json.hpp>

namespace orv {

const char* ORV_FRAME_EVENT_RUNNING = "RUNNING";
const char* ORV_FRAME_EVENT_FINISHED = "FINISHED";
const char* ORV_FRAME_EVENT_ERROR = "ERROR";
const char* ORV_FRAME_EVENT_LEVEL_COMPLETE = "LEVEL_COMPLETE";
const char* ORV_FRAME_EVENT_COLLAPSE_ZONE = "COLLAPSE_ZONE";
const char* ORV_FRAME_EVENT_CAST_SPELL = "CAST_SPELL";

nlohmann::json FrameEvent::to_json() const {
    nlohmann::json object = nlohmann::json::object();
    object["agent_name"] = agent_name;
    object["description"] = description;
    object["type"] = type;
    object["visual_id"] = visual_id;
    return object;
}

void FrameEvent::write_json(JsonTextWriter& out) const {
    out.raw("{\"agent_name\":");
    out.string(agent_name);
    out.raw(",\"description\":");
    out.string(description);
    out.raw(",\"type\":");
    out.string(type);
    out.raw(",\"visual_id\":");
    out.string(visual_id);
    out.raw('}');
}

} // namespace orv
