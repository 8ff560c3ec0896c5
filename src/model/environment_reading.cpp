// A zone tree read back from its text, through the descriptions that write it.
#include <iterator>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "orv/agents.hpp"
#include "orv/environment.hpp"
#include "orv/interrupt.hpp"
#include "orv/json_reader.hpp"
#include "zone_fields.hpp"

namespace orv {

Charge new_list_element(JsonReader& /*item*/, const Charge* /*kind*/) {
    return Charge(0.0, ChargePolarity::POSITIVE, std::string());
}

std::shared_ptr<MagicianAgent> new_list_element(JsonReader& item,
                                                const std::shared_ptr<MagicianAgent>* /*kind*/) {
    JsonReader name_only(item);
    const std::string& name = name_only.string_member("name");
    std::shared_ptr<MagicianAgent> agent = make_agent(name, std::string());
    if (!agent) {
        throw std::invalid_argument(item.place() + ": \"name\" " +
                                    nlohmann::json(name).dump(-1, ' ', false,
                                        nlohmann::json::error_handler_t::replace) +
                                    " is not the name of an agent kind");
    }
    return agent;
}

namespace {

/// Where each zone of the text stands: the entry of its parent and its index among the
/// parent's sub-zones (entry 0 is the top zone).
using ZonePlaces = std::vector<std::pair<std::size_t, std::size_t>>;

/// A zone object of the text whose members are still to be read into `zone`.
struct PendingZone {
    const nlohmann::json* object;
    Environment* zone;
    std::size_t entry;
};

/// A zone's place for a message ("level.sub_environments[1]"); spelled out only then.
struct ZonePlace {
    const ZonePlaces* places;
    std::size_t entry;

    static std::string text(const void* context) {
        const auto& [places, entry] = *static_cast<const ZonePlace*>(context);
        std::vector<std::size_t> path;
        for (std::size_t at = entry; at != 0; at = (*places)[at].first) {
            path.push_back((*places)[at].second);
        }
        std::string place = "level";
        for (auto index = path.rbegin(); index != path.rend(); ++index) {
            place += ".sub_environments[" + std::to_string(*index) + "]";
        }
        return place;
    }
};

/// Reads the zone's own members and returns its sub-zones' objects.
const nlohmann::json& read_zone(const PendingZone& pending, const ZonePlaces& places) {
    const ZonePlace place{&places, pending.entry};
    JsonReader fields(*pending.object, &ZonePlace::text, &place);
    describe_zone_head(*pending.zone, fields);
    pending.zone->mark_charges_changed(); // the list was filled
    const nlohmann::json& subs = fields.array("sub_environments");
    fields.finish();
    return subs;
}

} // namespace

std::shared_ptr<Environment> Environment::from_json(const nlohmann::json& value) {
    // Without recursion, like every walk of a tree: levels may nest deeper than the stack.
    auto top = std::make_shared<Environment>(std::string());
    ZonePlaces places{{0, 0}};
    std::vector<PendingZone> pending{{&value, top.get(), 0}};
    while (!pending.empty()) {
        check_interrupt();
        const PendingZone current = pending.back();
        pending.pop_back();
        const nlohmann::json& subs = read_zone(current, places);
        std::vector<PendingZone> children;
        children.reserve(subs.size());
        for (std::size_t index = 0; index < subs.size(); ++index) {
            auto sub = std::make_shared<Environment>(std::string());
            places.emplace_back(current.entry, index);
            children.push_back({&subs[index], sub.get(), places.size() - 1});
            current.zone->add_environment(std::move(sub));
        }
        // Reversed, so that the first sub-zone is read next and messages come in text order.
        pending.insert(pending.end(), std::make_move_iterator(children.rbegin()),
                       std::make_move_iterator(children.rend()));
    }
    return top;
}

namespace {

nlohmann::json parsed_level(std::string_view text) {
    try {
        return nlohmann::json::parse(text.begin(), text.end());
    } catch (const nlohmann::json::parse_error& error) {
        throw std::invalid_argument(std::string("level text is not JSON: ") + error.what());
    }
}

} // namespace

std::shared_ptr<Environment> Environment::from_json_text(std::string_view text) {
    return from_json(parsed_level(text));
}

std::shared_ptr<Environment> Environment::from_level_text(std::string_view text) {
    return from_level_json(parsed_level(text));
}

std::shared_ptr<Environment> Environment::from_level_json(nlohmann::json value) {
    if (value.is_object()) {
        const nlohmann::json zone_keys = level_fields_json()["zone"];
        for (auto member = value.begin(); member != value.end();) {
            member = zone_keys.contains(member.key()) ? std::next(member) : value.erase(member);
        }
    }
    return from_json(value);
}

} // namespace orv
