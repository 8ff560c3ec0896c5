#pragma once

#include <type_traits>

#include "orv/environment.hpp"
#include "orv/json_fields.hpp"
#include "orv/validate.hpp"

namespace orv {

/// The zone's "agents" and "charges" members: the part of its text that may be kept.
/// `Fields` is JsonValueFields or JsonTextFields.
template <class Fields>
void describe_zone_members(const Environment& zone, Fields& members) {
    members.objects("agents", zone.agents.size(), [&](std::size_t index, Fields& agent) {
        zone.agents[index]->describe_json(agent);
    });
    members.objects("charges", zone.charges.size(), [&](std::size_t index, Fields& charge) {
        zone.charges[index].describe_json(charge);
    });
}

/// A zone's members before "sub_environments", in key order: the one description behind both
/// Environment::to_json and write_zone_tree. The agents and charges are the reusable part; the
/// id and the freeze flag are cheap and written every time, so writes to them need no mark.
template <class Fields>
void describe_zone_head(const Environment& zone, Fields& fields) {
#ifdef ORV_VALIDATE
    if constexpr (std::is_same_v<Fields, JsonTextFields>) {
        validate::kept_members_text(zone);
    }
#endif
    fields.reusable(zone.members_text,
                    [&](Fields& members) { describe_zone_members(zone, members); });
    fields.string("id", zone.id);
    fields.boolean("is_time_frozen", !zone.sub_environments.empty() && zone.is_time_frozen);
}

} // namespace orv
