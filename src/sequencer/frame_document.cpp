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

void NarrativeSequencer::write_response(JsonTextWriter& out, const std::string& status,
                                        const std::string& message) const {
    // "meta" sorts between "is_time_frozen" and "sub_environments", so it is written there,
    // in the same order as the value's dump (which also decides which invalid text is
    // reported first).
    write_zone_tree(out, *root_environment, [&](JsonTextWriter& meta) {
        meta.raw("\"meta\":{\"frame_index\":");
        meta.integer(current_frame);
        meta.raw(",\"last_event\":");
        if (last_event) {
            last_event->write_json(meta);
        } else {
            meta.raw("null");
        }
        meta.raw(",\"message\":");
        meta.string(message);
        meta.raw(",\"status\":");
        meta.string(status);
        meta.raw("},");
    });
}

} // namespace orv
