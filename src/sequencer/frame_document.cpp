#include <nlohmann/json.hpp>

#include "orv/json_fields.hpp"
#include "orv/sequencer.hpp"

namespace orv {

namespace {

/// The members of "meta", in key order: the one description behind both routes.
void describe_meta(JsonFields& meta, std::int32_t frame_index,
                   const std::optional<FrameEvent>& last_event, const std::string& status,
                   const std::string& message) {
    meta.integer("frame_index", frame_index);
    if (last_event) {
        meta.object("last_event", [&](JsonFields& event) { last_event->describe_json(event); });
    } else {
        meta.null("last_event");
    }
    meta.string("message", message);
    meta.string("status", status);
}

} // namespace

nlohmann::json NarrativeSequencer::generate_response(std::string status,
                                                     std::string message) const {
    nlohmann::json document = root_environment->to_json();
    JsonValueFields meta;
    describe_meta(meta, current_frame, last_event, status, message);
    document["meta"] = meta.take();
    return document;
}

void NarrativeSequencer::write_response(JsonTextWriter& out, const std::string& status,
                                        const std::string& message) const {
    // "meta" sorts between "is_time_frozen" and "sub_environments", so it is written there,
    // in the same order as the value's dump (which also decides which invalid text is
    // reported first).
    write_zone_tree(out, *root_environment, [&](JsonFields& root) {
        root.object("meta", [&](JsonFields& meta) {
            describe_meta(meta, current_frame, last_event, status, message);
        });
    });
}

} // namespace orv
