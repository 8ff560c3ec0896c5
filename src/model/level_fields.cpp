// The members of a level file's objects, from the descriptions that write and read them.
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "orv/agents.hpp"
#include "orv/environment.hpp"
#include "orv/json_key_list.hpp"
#include "zone_fields.hpp"

namespace orv {

namespace {

template <class Described>
nlohmann::json keys_of(const Described& described) {
    JsonKeyList keys;
    described.describe_json(keys);
    return keys.keys();
}

} // namespace

nlohmann::json level_fields_json() {
    const Environment zone{std::string()};
    JsonKeyList zone_keys;
    describe_zone_head(zone, zone_keys);
    nlohmann::json zone_members = zone_keys.keys();
    // The tree's walks write and read the sub-zones themselves, after the zone's own members.
    zone_members["sub_environments"] = "list";
    return {{"zone", std::move(zone_members)},
            {"charge", keys_of(Charge(0.0, ChargePolarity::POSITIVE, std::string()))},
            {"agent", keys_of(PlusMagician(std::string()))},
            {"gate", keys_of(EqualsGate(std::string(), 0.0))},
            {"judge", keys_of(InequalityGate(std::string(), 0.0,
                                             InequalityGate::ComparisonType::LESS_THAN))}};
}

} // namespace orv
