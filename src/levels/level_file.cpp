// Level files: the engine's JSON of a top zone, with the members that hold one value in a
// file filled in, and the tools' own top-zone keys set aside.
#include "orv/level_file.hpp"

#include <stdexcept>
#include <string>
#include <utility>

#include "orv/agent_kinds.hpp"
#include "orv/interrupt.hpp"

namespace orv {

namespace {

using Json = nlohmann::json;

/// A zone object of the text and where it stands: the number of its parent's entry and its
/// index in the parent's "sub_environments" (the top zone is entry 0).
struct ZoneAt {
    Json* object;
    std::size_t parent;
    std::size_t index;
};

/// The place of zone entry `number` in the reader's words ("level.sub_environments[1]").
/// Spelled out only for a problem: a chain of zones would make every place long.
std::string place_of(const std::vector<ZoneAt>& zones, std::size_t number) {
    std::vector<std::size_t> path;
    for (; number != 0; number = zones[number].parent) {
        path.push_back(zones[number].index);
    }
    std::string place = "level";
    for (auto index = path.rbegin(); index != path.rend(); ++index) {
        place += ".sub_environments[" + std::to_string(*index) + "]";
    }
    return place;
}

std::string shown(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

/// Gives `object[key]` the one value a file can give it when it is missing; refuses another
/// value of the same type (a value of another type is left for the reader to refuse).
template <class Place>
void one_value(Json& object, const char* key, const Json& value, const Place& place,
               const std::string& refusal) {
    const auto found = object.find(key);
    if (found == object.end()) {
        object.emplace(key, value);
        return;
    }
    const bool comparable = (found->is_number() && value.is_number()) ||
                            found->type() == value.type();
    if (comparable && *found != value) {
        throw std::invalid_argument(place() + ": \"" + key + "\" (" + shown(*found) + ") " +
                                    refusal);
    }
}

/// The members of an agent object that a file may leave out.
template <class Place>
void fill_agent(Json& agent, const Place& place) {
    if (!agent.is_object()) {
        return;
    }
    const auto name = agent.find("name");
    if (name == agent.end() || !name->is_string()) {
        return; // the reader names the problem
    }
    const AgentKind* kind = find_agent_kind(name->get_ref<const std::string&>());
    if (kind == nullptr) {
        return;
    }
    one_value(agent, "priority", Json(kind->priority), place,
              "is not " + std::to_string(kind->priority) + ", the fixed priority of " +
                  std::string(kind->name));
    one_value(agent, "state", Json("dormant"), place,
              "cannot be restored: agents are only ever placed dormant");
    if (kind->is_gate()) {
        one_value(agent, "is_open", Json(false), place,
                  "cannot be restored: gates are only ever placed closed");
    }
}

/// Fills in the one-valued members of every zone and agent, zones in text order.
void fill_one_valued_members(Json& top) {
    std::vector<ZoneAt> zones;
    std::vector<std::size_t> pending{0};
    zones.push_back({&top, 0, 0});
    while (!pending.empty()) {
        check_interrupt();
        const std::size_t number = pending.back();
        pending.pop_back();
        Json& zone = *zones[number].object;
        if (!zone.is_object()) {
            continue;
        }
        zone.emplace("is_time_frozen", false);
        const auto agents = zone.find("agents");
        if (agents != zone.end() && agents->is_array()) {
            for (std::size_t index = 0; index < agents->size(); ++index) {
                fill_agent((*agents)[index], [&] {
                    return place_of(zones, number) + ".agents[" + std::to_string(index) + "]";
                });
            }
        }
        const auto subs = zone.find("sub_environments");
        if (subs == zone.end() || !subs->is_array()) {
            continue;
        }
        for (std::size_t index = subs->size(); index-- > 0;) {
            pending.push_back(zones.size());
            zones.push_back({&(*subs)[index], number, index});
        }
    }
}

Json parse_level_text(std::string_view text) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        text.remove_prefix(kByteOrderMark.size());
    }
    try {
        return Json::parse(text.begin(), text.end());
    } catch (const Json::exception& error) {
        // Numbers beyond a double's range are the library's out_of_range, not a parse error.
        throw std::invalid_argument(std::string("level text is not JSON: ") + error.what());
    }
}

} // namespace

const std::vector<const char*>& level_file_extra_keys() {
    static const std::vector<const char*> kKeys{"hand",  "hint",  "notes", "puzzle",
                                                "slots", "title", "use"};
    return kKeys;
}

LevelFile read_level_file(std::string_view text) {
    Json document = parse_level_text(text);
    LevelFile file;
    if (document.is_object()) {
        for (const char* key : level_file_extra_keys()) {
            const auto found = document.find(key);
            if (found != document.end()) {
                file.extras.emplace(key, std::move(*found));
                document.erase(found);
            }
        }
    }
    fill_one_valued_members(document);
    file.top = Environment::from_json(document);
    return file;
}

} // namespace orv
