// The checks of a level file's extra top-zone keys, worded as the package's loader words them
// (python/orv/levels/puzzle_keys.py, designer_keys.py): the designer's texts, the hand, the
// slots, "use" and the generator's note, each on its own, then the keys together.
#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "orv/agent_kinds.hpp"
#include "orv/level_file.hpp"
#include "orv/puzzle.hpp"
#include "orv/zone_walk.hpp"
#include "problem_words.hpp"

namespace orv {

using levels::at;
using levels::did_you_mean;
using levels::expected;
using levels::is_text;
using Json = nlohmann::json;

namespace {

using Problems = std::vector<LevelProblem>;

/// Problems of one hand agent; the first of a wrong name or a wrong type ends its check.
void check_hand_agent(const Json& item, const std::string& place, Problems& problems) {
    if (!item.is_object()) {
        problems.push_back(expected(place, "an agent object", item));
        return;
    }
    const auto name = item.find("name");
    if (name != item.end()) {
        if (!is_text(*name, at(place, "name"), problems)) {
            return;
        }
        const std::string& text = name->get_ref<const std::string&>();
        const AgentKind* kind = find_agent_kind(text);
        if (kind == nullptr) {
            std::vector<std::string> names;
            for (const AgentKind* known : agent_kinds()) {
                names.emplace_back(known->name);
            }
            problems.push_back({at(place, "name"), "unknown agent name \"" + text + "\"" +
                                                       did_you_mean(text, names)});
            return;
        }
        if (kind->is_gate()) {
            problems.push_back({at(place, "name"), text + " is a gate; gates are the goals "
                                                          "of a puzzle, never part of its hand"});
            return;
        }
    }
    const std::size_t before = problems.size();
    levels::key_problems(item, place, {"name", "visual_id"}, problems);
    if (problems.size() == before) {
        is_text(item["visual_id"], at(place, "visual_id"), problems);
    }
}

void check_hand(const Json& value, Problems& problems) {
    const std::string place = "hand";
    if (!value.is_array()) {
        problems.push_back(expected(place, "a list of agents", value));
        return;
    }
    // Solutions name hand agents by visual id, which must then say which agent it is.
    std::map<std::string, std::string> kind_of_id;
    for (std::size_t index = 0; index < value.size(); ++index) {
        const std::string where = at(place, index);
        const std::size_t before = problems.size();
        check_hand_agent(value[index], where, problems);
        if (problems.size() != before) {
            continue;
        }
        const std::string& name = value[index]["name"].get_ref<const std::string&>();
        const std::string& id = value[index]["visual_id"].get_ref<const std::string&>();
        const std::string& known = kind_of_id.emplace(id, name).first->second;
        if (known != name) {
            problems.push_back({at(where, "visual_id"),
                                "\"" + id + "\" is also the visual id of a " + known +
                                    " in the hand; hand agents of different kinds need "
                                    "different visual ids"});
        }
    }
}

void check_slots(const Json& value, const Environment& top, Problems& problems) {
    const std::string place = "slots";
    if (!value.is_array()) {
        problems.push_back(expected(place, "a list of zone ids", value));
        return;
    }
    std::vector<std::string> known = zone_ids_in_tree_order(top);
    std::sort(known.begin(), known.end());
    known.erase(std::unique(known.begin(), known.end()), known.end());
    for (std::size_t index = 0; index < value.size(); ++index) {
        const std::string where = at(place, index);
        if (!is_text(value[index], where, problems)) {
            continue;
        }
        const std::string& id = value[index].get_ref<const std::string&>();
        if (!std::binary_search(known.begin(), known.end(), id)) {
            problems.push_back({where, "no zone has the id \"" + id + "\"" +
                                           did_you_mean(id, known)});
        } else if (std::find(value.begin(), value.end(), value[index]) - value.begin() !=
                   static_cast<std::ptrdiff_t>(index)) {
            problems.push_back({where, "zone \"" + id + "\" is listed twice"});
        }
    }
}

void check_use(const Json& value, Problems& problems) {
    if (!value.is_string()) {
        problems.push_back(expected("use", "\"any\" or \"all\"", value));
        return;
    }
    const std::string& use = value.get_ref<const std::string&>();
    if (use != "any" && use != "all") {
        const std::string found = use.empty() ? "an empty text" : "\"" + use + "\"";
        problems.push_back({"use", "expected \"any\" (place any part of the hand) or \"all\" "
                                   "(place every hand agent), found " + found});
    }
}

/// The generator's note: the difficulty it measured and the minimal solution size.
void check_note(const Json& value, Problems& problems) {
    const std::string place = "puzzle";
    if (!value.is_object()) {
        problems.push_back(expected(place, "an object", value));
        return;
    }
    const std::size_t before = problems.size();
    levels::key_problems(value, place, {"difficulty", "min_size"}, problems);
    if (problems.size() != before) {
        return;
    }
    const Json& difficulty = value["difficulty"];
    if (!difficulty.is_number() || !std::isfinite(difficulty.get<double>()) ||
        difficulty.get<double>() < 0) {
        problems.push_back(expected(at(place, "difficulty"), "a number of bits of at least 0",
                                    difficulty));
        return;
    }
    const Json& size = value["min_size"];
    if (!size.is_number_integer()) {
        problems.push_back(expected(at(place, "min_size"), "a whole number", size));
    } else if (!size.is_number_unsigned() && size.get<std::int64_t>() < 0) {
        problems.push_back({at(place, "min_size"),
                            "expected at least 0, found " + std::to_string(size.get<std::int64_t>())});
    }
}

/// The id and the place of every zone, in tree order ("sub_environments[1]", "top zone").
std::vector<std::pair<std::string, std::string>> zone_ids_and_places(const Environment& top) {
    std::vector<std::pair<std::string, std::string>> zones;
    std::vector<std::string> places{""};
    walk_zones(
        top,
        [&](const Environment& zone, const Environment* parent, std::size_t index) {
            if (parent != nullptr) {
                places.push_back(at(at(places.back(), "sub_environments"), index));
            }
            zones.emplace_back(zone.id, levels::shown(places.back()));
            return false;
        },
        [&](const Environment& /*zone*/, const Environment* parent, std::size_t /*index*/) {
            if (parent != nullptr) {
                places.pop_back();
            }
            return false;
        });
    return zones;
}

/// Slot zones sharing an id, which a placement could not tell apart; "slots" or "use"
/// without a hand.
void check_keys_together(const Json& extras, const Environment& top, Problems& problems) {
    if (!extras.contains("hand")) {
        for (const char* key : {"slots", "use"}) {
            if (extras.contains(key)) {
                problems.push_back({key, std::string("a puzzle's \"") + key +
                                             "\" needs a \"hand\""});
            }
        }
        return;
    }
    std::vector<std::string> ids;
    std::map<std::string, std::vector<std::string>> places;
    for (const auto& [id, place] : zone_ids_and_places(top)) {
        if (places[id].empty()) {
            ids.push_back(id);
        }
        places[id].push_back(place);
    }
    std::vector<std::pair<std::string, std::string>> named;
    const auto slots = extras.find("slots");
    if (slots != extras.end()) {
        for (std::size_t index = 0; index < slots->size(); ++index) {
            named.emplace_back(at("slots", index), (*slots)[index].get<std::string>());
        }
    } else {
        for (const std::string& id : ids) {
            named.emplace_back("hand", id);
        }
    }
    for (const auto& [where, id] : named) {
        const std::vector<std::string>& at_places = places[id];
        if (at_places.size() < 2) {
            continue;
        }
        std::string listed;
        for (std::size_t index = 0; index < std::min<std::size_t>(at_places.size(), 5); ++index) {
            listed += (index > 0 ? ", " : "") + at_places[index];
        }
        problems.push_back({where, "zone id \"" + id + "\" is used by " +
                                       std::to_string(at_places.size()) + " zones (" + listed +
                                       "); a slot must name one zone, so the slots (every zone, "
                                       "unless \"slots\" lists some) need ids of their own"});
    }
}

} // namespace

std::vector<std::string> zone_ids_in_tree_order(const Environment& top) {
    std::vector<std::string> ids;
    walk_zones(
        top,
        [&](const Environment& zone, const Environment* /*parent*/, std::size_t /*index*/) {
            ids.push_back(zone.id);
            return false;
        },
        SkipZone{});
    return ids;
}

void check_level_extras(const Json& extras, const Environment& top) {
    Problems problems;
    // In name order, as the loader takes them.
    for (const auto& [key, value] : extras.items()) {
        if (key == "hand") {
            check_hand(value, problems);
        } else if (key == "slots") {
            check_slots(value, top, problems);
        } else if (key == "use") {
            check_use(value, problems);
        } else if (key == "puzzle") {
            check_note(value, problems);
        } else {
            is_text(value, key, problems); // the designer's "hint", "notes" and "title"
        }
    }
    // Keys are checked together only once each is right on its own.
    if (problems.empty()) {
        check_keys_together(extras, top, problems);
    }
    // The loader stops at its limit and says so, also when nothing more was left.
    if (problems.size() >= kMaxLevelProblems) {
        problems.resize(kMaxLevelProblems);
        problems.push_back({"rest of the file", "not checked: stopped after " +
                                                    std::to_string(kMaxLevelProblems) +
                                                    " problems"});
    }
    if (!problems.empty()) {
        throw LevelProblems(std::move(problems));
    }
}

} // namespace orv
