// Puzzles read from their files, and placements of their hands applied to their levels.
#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "orv/agents.hpp"
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

std::string problems_text(const std::vector<LevelProblem>& problems) {
    if (problems.size() == 1) {
        return problems.front().place + ": " + problems.front().problem;
    }
    std::string text = std::to_string(problems.size()) + " problems";
    for (const LevelProblem& problem : problems) {
        text += "\n  " + problem.place + ": " + problem.problem;
    }
    return text;
}

/// Where the hand's agents are, by visual id (agents of one kind may share one).
std::map<std::string, std::vector<std::size_t>> hand_by_id(const Puzzle& puzzle) {
    std::map<std::string, std::vector<std::size_t>> by_id;
    for (std::size_t index = 0; index < puzzle.hand.size(); ++index) {
        by_id[puzzle.hand[index].visual_id].push_back(index);
    }
    return by_id;
}

std::vector<std::string> sorted_unique(std::vector<std::string> texts) {
    std::sort(texts.begin(), texts.end());
    texts.erase(std::unique(texts.begin(), texts.end()), texts.end());
    return texts;
}

/// The zone number of the slot that `id` names, or a problem at `place`.
std::size_t slot_zone(const Puzzle& puzzle, const std::string& id, const std::string& place,
                      std::vector<LevelProblem>& problems) {
    const std::string refusal = slot_refusal(puzzle, id);
    if (!refusal.empty()) {
        problems.push_back({place, refusal});
        return puzzle.zone_ids.size();
    }
    return *slot_number(puzzle, id);
}

/// The zones of a tree by zone number.
std::vector<Environment*> zones_in_tree_order(Environment& top) {
    std::vector<Environment*> zones;
    walk_zones(
        top,
        [&](Environment& zone, Environment* /*parent*/, std::size_t /*index*/) {
            zones.push_back(&zone);
            return false;
        },
        SkipZone{});
    return zones;
}

} // namespace

LevelProblems::LevelProblems(std::vector<LevelProblem> problems)
    : std::invalid_argument(problems_text(problems)), problems_(std::move(problems)) {}

std::optional<std::size_t> slot_number(const Puzzle& puzzle, const std::string& zone_id) {
    for (std::size_t slot = 0; slot < puzzle.slots.size(); ++slot) {
        if (puzzle.zone_ids[puzzle.slots[slot]] == zone_id) {
            return puzzle.slots[slot];
        }
    }
    return std::nullopt;
}

std::string slot_refusal(const Puzzle& puzzle, const std::string& zone_id) {
    if (slot_number(puzzle, zone_id)) {
        return "";
    }
    const auto& ids = puzzle.zone_ids;
    if (std::find(ids.begin(), ids.end(), zone_id) != ids.end()) {
        return "zone \"" + zone_id + "\" is not one of the puzzle's slots";
    }
    return "no zone has the id \"" + zone_id + "\"" + did_you_mean(zone_id, sorted_unique(ids));
}

std::string use_all_refusal(const Puzzle& puzzle, const std::vector<bool>& placed) {
    if (!puzzle.use_all) {
        return "";
    }
    std::string left_out;
    for (std::size_t index = 0; index < placed.size(); ++index) {
        if (!placed[index]) {
            left_out += (left_out.empty() ? "" : ", ") + puzzle.hand[index].name + " \"" +
                        puzzle.hand[index].visual_id + "\"";
        }
    }
    if (left_out.empty()) {
        return "";
    }
    return "the puzzle's \"use\" is \"all\": every hand agent must be placed, and these are "
           "not: " + left_out;
}

Puzzle read_puzzle(std::string_view text) {
    LevelFile file = read_level_file(text);
    check_level_extras(file.extras, *file.top);
    const auto hand = file.extras.find("hand");
    if (hand == file.extras.end()) {
        throw LevelProblems({LevelProblem{"top zone", "the level has no \"hand\" of agents to "
                                                      "place, so it is no puzzle"}});
    }
    Puzzle puzzle;
    TextBuffer buffer;
    JsonTextWriter writer(buffer);
    file.top->write_json(writer);
    puzzle.level_text = buffer.str();
    for (const Json& agent : *hand) {
        puzzle.hand.push_back({agent["name"].get<std::string>(),
                               agent["visual_id"].get<std::string>()});
    }
    puzzle.zone_ids = zone_ids_in_tree_order(*file.top);
    const auto slots = file.extras.find("slots");
    for (std::size_t zone = 0; zone < puzzle.zone_ids.size(); ++zone) {
        // Slot ids were checked to be the ids of single zones.
        if (slots == file.extras.end() ||
            std::find(slots->begin(), slots->end(), Json(puzzle.zone_ids[zone])) != slots->end()) {
            puzzle.slots.push_back(zone);
        }
    }
    puzzle.use_all = file.extras.value("use", "any") == "all";
    return puzzle;
}

HandPlacement placement_from_json(const Json& value) {
    const std::string place = "placement";
    if (!value.is_array()) {
        throw LevelProblems(std::vector<LevelProblem>{
            expected(place, "a list of {\"zone\": id, \"agents\": [visual ids]}", value)});
    }
    std::vector<LevelProblem> problems;
    HandPlacement placement;
    for (std::size_t index = 0; index < value.size(); ++index) {
        const std::string where = at(place, index);
        const Json& item = value[index];
        if (!item.is_object()) {
            problems.push_back(expected(where, "an object", item));
            continue;
        }
        const std::size_t before = problems.size();
        levels::key_problems(item, where, {"zone", "agents"}, problems);
        if (problems.size() != before || !is_text(item["zone"], at(where, "zone"), problems)) {
            continue;
        }
        const Json& agents = item["agents"];
        if (!agents.is_array()) {
            problems.push_back(expected(at(where, "agents"), "a list of visual ids", agents));
            continue;
        }
        PlacedAgents placed{item["zone"].get<std::string>(), {}};
        for (std::size_t agent = 0; agent < agents.size(); ++agent) {
            if (is_text(agents[agent], at(at(where, "agents"), agent), problems)) {
                placed.agents.push_back(agents[agent].get<std::string>());
            }
        }
        placement.push_back(std::move(placed));
    }
    if (!problems.empty()) {
        throw LevelProblems(std::move(problems));
    }
    return placement;
}

std::shared_ptr<Environment> place_hand(const Puzzle& puzzle, const HandPlacement& placement) {
    std::vector<LevelProblem> problems;
    std::map<std::string, std::vector<std::size_t>> unused = hand_by_id(puzzle);
    std::vector<std::string> hand_ids;
    for (const auto& entry : unused) {
        hand_ids.push_back(entry.first);
    }
    std::vector<bool> taken(puzzle.hand.size(), false);
    std::vector<bool> zone_named(puzzle.zone_ids.size(), false);
    std::vector<std::pair<std::size_t, std::vector<std::size_t>>> added;
    for (std::size_t index = 0; index < placement.size(); ++index) {
        const std::string where = at("placement", index);
        const PlacedAgents& placed = placement[index];
        const std::size_t zone = slot_zone(puzzle, placed.zone, at(where, "zone"), problems);
        if (zone < zone_named.size() && zone_named[zone]) {
            problems.push_back({at(where, "zone"), "zone \"" + placed.zone + "\" is listed twice"});
        } else if (zone < zone_named.size()) {
            zone_named[zone] = true;
        }
        added.emplace_back(zone, std::vector<std::size_t>());
        for (std::size_t agent = 0; agent < placed.agents.size(); ++agent) {
            const std::string& id = placed.agents[agent];
            const std::string agent_place = at(at(where, "agents"), agent);
            const auto found = unused.find(id);
            if (found == unused.end()) {
                problems.push_back({agent_place, "no agent of the hand has the visual id \"" +
                                                     id + "\"" + did_you_mean(id, hand_ids)});
            } else if (found->second.empty()) {
                problems.push_back({agent_place, "hand agent \"" + id + "\" is placed more often "
                                                 "than the hand holds it (" +
                                                     std::to_string(hand_by_id(puzzle)[id].size()) +
                                                     ")"});
            } else {
                added.back().second.push_back(found->second.front());
                taken[found->second.front()] = true;
                found->second.erase(found->second.begin());
            }
        }
    }
    if (problems.empty()) {
        const std::string left_out = use_all_refusal(puzzle, taken);
        if (!left_out.empty()) {
            problems.push_back({"placement", left_out});
        }
    }
    if (!problems.empty()) {
        throw LevelProblems(std::move(problems));
    }
    std::shared_ptr<Environment> level = Environment::from_json_text(puzzle.level_text);
    const std::vector<Environment*> zones = zones_in_tree_order(*level);
    for (const auto& [zone, hand_indices] : added) {
        for (const std::size_t hand_index : hand_indices) {
            const solver::HandAgent& agent = puzzle.hand[hand_index];
            zones[zone]->add_magician(make_agent(agent.name, agent.visual_id));
        }
    }
    return level;
}

} // namespace orv
