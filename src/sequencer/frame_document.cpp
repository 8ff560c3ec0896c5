#include <nlohmann/json.hpp>

#include "orv/sequencer.hpp"

namespace orv {

nlohmann::json NarrativeSequencer::generate_response(std::string status,
                                                     std::string message) const {
    nlohmann::json document = root_environment->to_json();
    nlohmann::json meta = nlohmann::json::object();
    meta["frame_index"] = current_frame;
    meta["last_event"] = last_event ? last_event->to_json() : nlohmann::json(nullptr);
    meta["message"] = std::move(message);
    meta["status"] = std::move(status);
    document["meta"] = std::move(meta);
    return document;
}

} // namespace orv
