#include "orv/environment.hpp"

#include <stdexcept>
#include <utility>

#include <nlohmann/json.hpp>

#include "orv/validate.hpp"
#include "orv/zone_walk.hpp"
#include "zone_fields.hpp"

namespace orv {

Environment::Environment(std::string id_) : id(std::move(id_)) {
#ifdef ORV_VALIDATE
    validate::zone_created(*this);
#endif
}

namespace {

using ZoneList = std::vector<std::shared_ptr<Environment>>;

/// The next sub-zone reference for the destructor to drop, or none when all are dropped.
/// Taken from the innermost zone being emptied, whose list reads [sub-zones..., link upwards];
/// a zone left with its link alone is empty, and dies as `emptying` moves up the link.
std::shared_ptr<Environment> next_to_release(std::shared_ptr<Environment>& emptying,
                                             ZoneList& top_level) {
    while (emptying) {
        ZoneList& list = emptying->sub_environments;
        if (list.size() > 1) {
            std::shared_ptr<Environment> next = std::move(list[list.size() - 2]);
            list[list.size() - 2] = std::move(list.back());
            list.pop_back();
            return next;
        }
        std::shared_ptr<Environment> above = std::move(list.front());
        list.clear();
        emptying = std::move(above);
    }
    if (top_level.empty()) {
        return nullptr;
    }
    std::shared_ptr<Environment> next = std::move(top_level.back());
    top_level.pop_back();
    return next;
}

} // namespace

Environment::~Environment() {
#ifdef ORV_VALIDATE
    validate::zone_destroyed(*this);
#endif
    // Releasing a sub-zone that nobody else holds would run its destructor, which releases
    // its own sub-zones, and so on: one stack frame per level. Instead the subtree is taken
    // apart here, depth first, and every zone dies with an empty list.
    //
    // Nothing here allocates, so a release cannot fail even when memory is exhausted: the
    // zones being emptied form a chain through their own lists. Descending into a zone takes
    // its last sub-zone out and puts the link to the zone above in the freed slot.
    ZoneList top_level = std::move(sub_environments);
    std::shared_ptr<Environment> emptying; // the innermost zone being emptied, or none
    std::shared_ptr<Environment> released = next_to_release(emptying, top_level);
    while (released) {
        --released->parent_count;
        if (released.use_count() == 1 && !released->sub_environments.empty()) {
            ZoneList& list = released->sub_environments;
            std::shared_ptr<Environment> next = std::move(list.back());
            list.back() = std::move(emptying);
            emptying = std::move(released);
            released = std::move(next);
            continue;
        }
        released = next_to_release(emptying, top_level); // drops the reference it replaces
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
