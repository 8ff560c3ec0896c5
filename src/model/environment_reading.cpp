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

/// A zone object of the text whose members are still to be read into `zone`.
struct PendingZone {
    const nlohmann::json* object;
    Environment* zone;
    std::string place;
};

/// Reads the zone's own members and returns its sub-zones' objects.
const nlohmann::json& read_zone(const PendingZone& pending) {
    JsonReader fields(*pending.object, pending.place);
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
    std::vector<PendingZone> pending{{&value, top.get(), "level"}};
    while (!pending.empty()) {
        check_interrupt();
        const PendingZone current = std::move(pending.back());
        pending.pop_back();
        const nlohmann::json& subs = read_zone(current);
        std::vector<PendingZone> children;
        children.reserve(subs.size());
        for (std::size_t index = 0; index < subs.size(); ++index) {
            auto sub = std::make_shared<Environment>(std::string());
            children.push_back({&subs[index], sub.get(),
                                current.place + ".sub_environments[" + std::to_string(index) + "]"});
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
