#pragma once

// A hint for a player's attempt: one next move toward a solution of the smallest size that
// keeps what the player has placed (each placed agent in its zone, in its order among the
// agents of its priority there), found by the puzzle's search. Deterministic: the same
// attempt gets the same hint.
#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "orv/attempt.hpp"
#include "orv/search_tally.hpp"

namespace orv {

struct Hint {
    /// "place": put hand agent `visual_id` into `zone_id` at `index` of its hand agents;
    /// "remove": take placed agent `visual_id` (in `zone_id`) back, since no solution keeps
    /// the placement; "solved": the placement solves the puzzle already; "none": no placement
    /// of the hand solves it; "unknown": the search reached its bound before it could tell.
    std::string action;
    std::string visual_id;
    std::string zone_id;
    std::optional<std::size_t> index;
    /// The move in words: "put the Multiply Magician x1 into crucible".
    std::string text;
    /// Placements the search looked at.
    std::uint64_t placements = 0;
};

/// The hint for `attempt`, looking at most at `max_placements` placements.
Hint hint_for(const Attempt& attempt,
              std::uint64_t max_placements = solver::kDefaultMaxPlacements);

/// {"action", "visual_id"?, "zone_id"?, "index"?, "text", "placements"}: the members that a
/// hint's action has.
nlohmann::ordered_json hint_json(const Hint& hint);

} // namespace orv
