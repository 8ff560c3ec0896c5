#include "orv/environment.hpp"

#include <stdexcept>
#include <utility>

#include <nlohmann/json.hpp>

#include "orv/zone_walk.hpp"
#include "zone_fields.hpp"

namespace orv {

Environment::Environment(std::string id_) : id(std::move(id_)) {}

Environment::~Environment() {
    // Releasing a sub-zone that nobody else holds would run its destructor, which releases
    // its own sub-zones, and so on: one stack frame per level. Instead, sub-zones about to
    // die hand their children to this loop first, so every zone dies with an empty list.
    std::vector<std::shared_ptr<Environment>> pending = std::move(sub_environments);
    while (!pending.empty()) {
        std::shared_ptr<Environment> zone = std::move(pending.back());
        pending.pop_back();
        --zone->parent_count;
        if (zone.use_count() == 1) {
            for (auto& child : zone->sub_environments) {
                pending.push_back(std::move(child));
            }
            zone->sub_environments.clear();
        }
    }
}

nlohmann::json Environment::to_json() const {
    // No class derives from Environment, so sub-zones are built here directly instead of
    // through their virtual to_json. `open` holds the objects of the zones being walked: each
    // is the last element of its parent's array, which grows only after it is complete.
    nlohmann::json document;
    std::vector<nlohmann::json*> open;
    walk_zones(
        *this,
        [&](const Environment& zone, const Environment* parent, std::size_t /*index*/) {
            JsonValueFields fields;
            describe_zone_head(zone, fields);
            nlohmann::json object = fields.take();
            object["sub_environments"] = nlohmann::json::array();
            if (parent == nullptr) {
                document = std::move(object);
                open.push_back(&document);
                return;
            }
            nlohmann::json& siblings = (*open.back())["sub_environments"];
            siblings.push_back(std::move(object));
            open.push_back(&siblings.back());
        },
        [&](const Environment& /*zone*/, const Environment* /*parent*/, std::size_t /*index*/) {
            open.pop_back();
            return false;
        });
    return document;
}

void Environment::add_charge(Charge charge) {
    charges.push_back(std::move(charge));
    mark_charges_changed();
}

void Environment::add_magician(std::shared_ptr<MagicianAgent> agent) {
    if (!agent) {
        throw std::invalid_argument("add_magician: the agent reference is empty");
    }
    agents.push_back(std::move(agent));
    mark_text_changed();
}

void Environment::add_environment(std::shared_ptr<Environment> environment) {
    if (!environment) {
        throw std::invalid_argument("add_environment: the zone reference is empty");
    }
    Environment& child = *environment;
    sub_environments.push_back(std::move(environment));
    ++child.parent_count;
}

void Environment::add_environment_checked(std::shared_ptr<Environment> environment) {
    if (environment && would_form_cycle(*this, *environment)) {
        throw std::invalid_argument("cannot add zone " + quoted_zone_id(*environment) +
                                    " beneath zone " + quoted_zone_id(*this) +
                                    ": the zone would become its own descendant");
    }
    add_environment(std::move(environment));
}

void Environment::remove_sub_environment(std::size_t index) {
    std::shared_ptr<Environment> child = std::move(sub_environments.at(index));
    sub_environments.erase(sub_environments.begin() + static_cast<std::ptrdiff_t>(index));
    --child->parent_count;
}

} // namespace orv
