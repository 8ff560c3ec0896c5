#pragma once

#include <type_traits>

#include "orv/environment.hpp"
#include "orv/json_fields.hpp"
#include "orv/validate.hpp"

namespace orv {

/// The zone's "agents" and "charges" members: the part of its text that may be kept.
/// `Fields` is JsonValueFields or JsonTextFields with a const zone, JsonReader with a zone
/// being read.
template <class Zone, class Fields>
void describe_zone_members(Zone& zone, Fields& members) {
    members.object_list("agents", zone.agents,
                        [](auto& agent, Fields& fields) { agent->describe_json(fields); });
    members.object_list("charges", zone.charges,
                        [](auto& charge, Fields& fields) { charge.describe_json(fields); });
}

/// The flag a zone's text shows: a zone without sub-zones is written unfrozen. A zone being
/// read takes the flag as written.
inline bool shown_time_frozen(const Environment& zone) {
    return !zone.sub_environments.empty() && zone.is_time_frozen;
}
inline bool& shown_time_frozen(Environment& zone) { return zone.is_time_frozen; }

/// A zone's members before "sub_environments", in key order: the one description behind
/// Environment::to_json, write_zone_tree and Environment::from_json. The agents and charges
/// are the reusable part; the id and the freeze flag are cheap and written every time, so
/// writes to them need no mark.
template <class Zone, class Fields>
void describe_zone_head(Zone& zone, Fields& fields) {
#ifdef ORV_VALIDATE
    if constexpr (std::is_same_v<Fields, JsonTextFields>) {
        validate::kept_members_text(zone);
    }
#endif
    fields.reusable(zone.members_text,
                    [&](Fields& members) { describe_zone_members(zone, members); });
    fields.string("id", zone.id);
    fields.boolean("is_time_frozen", shown_time_frozen(zone));
}

} // namespace orv
