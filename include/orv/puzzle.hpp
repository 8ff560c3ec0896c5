#pragma once

// Puzzles: level files whose top zone holds a "hand" of agents for the player, the "slots"
// (zone ids) the hand may go into and whether the whole hand must be "use"d. The rules of
// those keys live here once, for every face of the engine: the browser build reads puzzles
// through them, and orv._native offers them to the Python package.
//
// Zones are numbered in tree order (each zone before its sub-zones, the top zone 0): the
// search knows slots by number, files and solutions by zone id.
#include <cstddef>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "orv/environment.hpp"
#include "orv/search_tally.hpp"
#include "orv/solver.hpp"

namespace orv {

/// One problem of a level file: where it is ("hand[2].name", "top zone") and what it is.
struct LevelProblem {
    std::string place;
    std::string problem;
};

/// Problems found together. what() lists them as the package's LevelError does: "place:
/// problem" for one, "N problems" and an indented line for each otherwise.
class LevelProblems : public std::invalid_argument {
public:
    explicit LevelProblems(std::vector<LevelProblem> problems);
    const std::vector<LevelProblem>& problems() const { return problems_; }

private:
    std::vector<LevelProblem> problems_;
};

/// The most problems one reading reports; the rest of the file is then left unchecked.
inline constexpr std::size_t kMaxLevelProblems = 20;

/// Checks the extra keys of a level file's top zone (LevelFile::extras) against the level's
/// tree, in the words of the package's loader: the designer's texts are strings, a puzzle's
/// keys are well formed, and once each key is, the keys agree with each other and the tree.
/// Throws LevelProblems with every problem found.
void check_level_extras(const nlohmann::json& extras, const Environment& top);

/// The id of every zone of the tree, in tree order.
std::vector<std::string> zone_ids_in_tree_order(const Environment& top);

/// A puzzle, read and checked.
struct Puzzle {
    /// The level as it stands, without the tools' keys: the engine's text of its top zone.
    std::string level_text;
    /// The hand, in the file's order: display names and visual ids.
    std::vector<solver::HandAgent> hand;
    /// The id of every zone, by zone number.
    std::vector<std::string> zone_ids;
    /// The zone numbers the hand may go into, ascending (every zone when the file names none).
    std::vector<std::size_t> slots;
    /// Whether a placement must use every hand agent ("use": "all").
    bool use_all = false;

    /// The smallest size a placement can have; the largest is the hand's.
    std::size_t smallest_size() const { return use_all ? hand.size() : 0; }
};

/// Reads a puzzle file's text: a level file (read_level_file) whose extra keys pass
/// check_level_extras and which has a "hand". Throws std::invalid_argument for a level that
/// cannot be read, LevelProblems for its keys.
Puzzle read_puzzle(std::string_view text);

/// The zone number of the slot whose id is `zone_id`, or nothing.
std::optional<std::size_t> slot_number(const Puzzle& puzzle, const std::string& zone_id);

/// Why `zone_id` names no slot, in one line: no zone has that id (with the nearest id), or
/// the zone is not one of the slots. Empty when it names a slot.
std::string slot_refusal(const Puzzle& puzzle, const std::string& zone_id);

/// With "use": "all", the line that names the hand agents left out (`placed[i]` says whether
/// hand agent i is placed); empty when none is, or when the puzzle may leave agents out.
std::string use_all_refusal(const Puzzle& puzzle, const std::vector<bool>& placed);

/// A placement of hand agents, by zone: the id of a slot zone and the visual ids of the hand
/// agents it receives at the end of its agent list, in order. The form of a solution.
struct PlacedAgents {
    std::string zone;
    std::vector<std::string> agents;
};
using HandPlacement = std::vector<PlacedAgents>;

/// A placement written as a solution writes it: [{"zone": id, "agents": [visual ids]}].
/// Throws LevelProblems naming each malformed part ("placement[0].agents").
HandPlacement placement_from_json(const nlohmann::json& value);

/// A new tree of the puzzle's level with the placement's agents appended to their zones, as
/// the search places them. Refused with LevelProblems, each naming its part: a zone that is
/// not a slot or is named twice, a visual id of no hand agent, an agent placed more often than
/// the hand holds it, and with "use": "all" a hand agent left out.
std::shared_ptr<Environment> place_hand(const Puzzle& puzzle, const HandPlacement& placement);

/// The bounds of solve_puzzle.
struct SolveOptions {
    std::uint64_t max_placements = solver::kDefaultMaxPlacements;
    std::uint64_t max_solutions = solver::kDefaultMaxSolutions;
    /// Go on past the minimal size that solves, to the whole hand.
    bool all_sizes = false;
};

/// Searches the puzzle's placements in this thread, as SearchTally leads, and returns its
/// report (SearchTally::to_json) with the solutions found: {"size": n, "placement": [{"zone":
/// id, "agents": [visual ids]}]}, sizes ascending and ranks ascending within a size, zones in
/// tree order.
nlohmann::ordered_json solve_puzzle(const Puzzle& puzzle, const SolveOptions& options);

} // namespace orv
