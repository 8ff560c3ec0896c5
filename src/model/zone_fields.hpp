#pragma once

#include "orv/environment.hpp"
#include "orv/json_fields.hpp"

namespace orv {

/// A zone's members before "sub_environments", in key order: the one description behind both
/// Environment::to_json and write_zone_tree. The agents and charges are the reusable part; the
/// id and the freeze flag are cheap and written every time, so writes to them need no mark.
/// `Fields` is JsonValueFields or JsonTextFields.
template <class Fields>
void describe_zone_head(const Environment& zone, Fields& fields) {
    fields.reusable(zone.members_text, [&](Fields& members) {
        members.objects("agents", zone.agents.size(), [&](std::size_t index, Fields& agent) {
            zone.agents[index]->describe_json(agent);
        });
        members.objects("charges", zone.charges.size(), [&](std::size_t index, Fields& charge) {
            zone.charges[index].describe_json(charge);
        });
    });
    fields.string("id", zone.id);
    fields.boolean("is_time_frozen", !zone.sub_environments.empty() && zone.is_time_frozen);
}

} // namespace orv
