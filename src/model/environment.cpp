#include "orv/environment.hpp"

#include <stdexcept>
#include <utility>

#include <nlohmann/json.hpp>

namespace orv {

Environment::Environment(std::string id_) : id(std::move(id_)) {}

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

namespace {

/// The zone's own members, with "sub_environments" holding one null per sub-zone for the
/// caller to fill in.
nlohmann::json zone_object_without_subtree(const Environment& zone) {
    nlohmann::json charges = nlohmann::json::array();
    for (const Charge& charge : zone.charges) {
        charges.push_back(charge.to_json());
    }
    nlohmann::json agents = nlohmann::json::array();
    for (const auto& agent : zone.agents) {
        agents.push_back(agent->to_json());
    }
    nlohmann::json object = nlohmann::json::object();
    object["agents"] = std::move(agents);
    object["charges"] = std::move(charges);
    object["id"] = zone.id;
    object["is_time_frozen"] = !zone.sub_environments.empty() && zone.is_time_frozen;
    object["sub_environments"] =
        nlohmann::json::array_t(zone.sub_environments.size(), nlohmann::json());
    return object;
}

} // namespace

nlohmann::json Environment::to_json() const {
    // Built with an explicit work list rather than recursion: a frame per level is more stack
    // than a thread can be sure to have for a deep tree. No class derives from
    // Environment, so sub-zones are written here directly instead of through their virtual
    // to_json. Each slot is filled exactly once and its array never grows, so the pointers
    // into it stay valid.
    nlohmann::json document;
    std::vector<std::pair<const Environment*, nlohmann::json*>> pending{{this, &document}};
    while (!pending.empty()) {
        auto [zone, slot] = pending.back();
        pending.pop_back();
        *slot = zone_object_without_subtree(*zone);
        nlohmann::json& children = (*slot)["sub_environments"];
        for (std::size_t index = 0; index < zone->sub_environments.size(); ++index) {
            pending.emplace_back(zone->sub_environments[index].get(), &children[index]);
        }
    }
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
}

void Environment::add_environment(std::shared_ptr<Environment> environment) {
    if (!environment) {
        throw std::invalid_argument("add_environment: the zone reference is empty");
    }
    Environment& child = *environment;
    sub_environments.push_back(std::move(environment));
    ++child.parent_count;
}

void Environment::remove_sub_environment(std::size_t index) {
    std::shared_ptr<Environment> child = std::move(sub_environments.at(index));
    sub_environments.erase(sub_environments.begin() + static_cast<std::ptrdiff_t>(index));
    --child->parent_count;
}

} // namespace orv
