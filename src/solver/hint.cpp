// The next move toward a solution that keeps what the player has placed.
//
// The search's placements are canonical: each slot's agents stably sorted by priority, which
// is the order the sequencer tries them in. A placement keeps the player's when, slot by slot,
// the kinds of the player's agents in that order are a subsequence of its kinds: the player's
// agents then stand where the solution wants agents of their kinds, and the rest of the
// solution can be added around them. Agents of one kind differ only in their visual ids.
#include "orv/hint.hpp"

#include <algorithm>
#include <stdexcept>
#include <utility>
#include <vector>

#include "orv/agent_kinds.hpp"
#include "orv/solver.hpp"
#include "work_level.hpp"

namespace orv {

namespace {

using Received = Attempt::Received;

/// Ranks tried per call of the search: small enough to stop soon after the first solution.
constexpr std::uint64_t kRanksPerCall = 4096;
/// Solutions of the smallest size weighed when the player's placement must lose an agent.
constexpr std::uint64_t kSolutionsToWeigh = 64;

/// The hand as the rules tell its agents apart: a kind number and a priority per agent.
struct HandKinds {
    std::vector<std::size_t> kind;
    std::vector<std::int32_t> priority;
};

HandKinds hand_kinds(const Puzzle& puzzle) {
    HandKinds kinds;
    std::vector<std::string> names;
    for (const solver::HandAgent& agent : puzzle.hand) {
        const auto found = std::find(names.begin(), names.end(), agent.name);
        kinds.kind.push_back(static_cast<std::size_t>(found - names.begin()));
        if (found == names.end()) {
            names.push_back(agent.name);
        }
        const AgentKind* kind = find_agent_kind(agent.name);
        if (kind == nullptr) {
            throw std::invalid_argument("\"" + agent.name + "\" is not the name of an agent kind");
        }
        kinds.priority.push_back(kind->priority);
    }
    return kinds;
}

/// Each slot's agents in the order the sequencer tries them: stably by priority, highest first.
Received tried_order(Received received, const HandKinds& hand) {
    for (auto& agents : received) {
        std::stable_sort(agents.begin(), agents.end(), [&](std::size_t a, std::size_t b) {
            return hand.priority[a] > hand.priority[b];
        });
    }
    return received;
}

/// For each agent of `solution`'s slot, the agent of `kept`'s slot that stands there (matched
/// by kind, leftmost first), or nothing. Every kept agent is matched when the slot keeps them.
std::vector<std::optional<std::size_t>> matched(const std::vector<std::size_t>& solution,
                                                const std::vector<std::size_t>& kept,
                                                const HandKinds& hand) {
    std::vector<std::optional<std::size_t>> stands(solution.size());
    std::size_t next = 0;
    for (std::size_t at = 0; at < solution.size() && next < kept.size(); ++at) {
        if (hand.kind[solution[at]] == hand.kind[kept[next]]) {
            stands[at] = kept[next++];
        }
    }
    return stands;
}

bool keeps(const solver::Placement& solution, const Received& kept, const HandKinds& hand) {
    for (std::size_t slot = 0; slot < kept.size(); ++slot) {
        std::size_t next = 0;
        for (const std::size_t agent : solution[slot]) {
            if (next < kept[slot].size() && hand.kind[agent] == hand.kind[kept[slot][next]]) {
                ++next;
            }
        }
        if (next < kept[slot].size()) {
            return false;
        }
    }
    return true;
}

/// The kept agents of one slot that a longest common subsequence of kinds with the
/// solution's slot leaves out, in order.
std::vector<std::size_t> left_out(const std::vector<std::size_t>& solution,
                                  const std::vector<std::size_t>& kept, const HandKinds& hand) {
    const std::size_t rows = kept.size();
    const std::size_t columns = solution.size();
    std::vector<std::vector<std::size_t>> longest(rows + 1, std::vector<std::size_t>(columns + 1));
    for (std::size_t row = rows; row-- > 0;) {
        for (std::size_t column = columns; column-- > 0;) {
            longest[row][column] =
                hand.kind[kept[row]] == hand.kind[solution[column]]
                    ? longest[row + 1][column + 1] + 1
                    : std::max(longest[row + 1][column], longest[row][column + 1]);
        }
    }
    std::vector<std::size_t> out;
    std::size_t row = 0;
    std::size_t column = 0;
    while (row < rows) {
        if (column < columns && hand.kind[kept[row]] == hand.kind[solution[column]] &&
            longest[row][column] == longest[row + 1][column + 1] + 1) {
            ++row;
            ++column;
        } else if (column < columns && longest[row][column + 1] >= longest[row + 1][column]) {
            ++column;
        } else {
            out.push_back(kept[row++]);
        }
    }
    return out;
}

/// "the Plus Magician p1", "The Scavenger s1".
std::string agent_words(const solver::HandAgent& agent) {
    const bool named_with_the = agent.name.rfind("The ", 0) == 0;
    return (named_with_the ? "" : "the ") + agent.name + " " + agent.visual_id;
}

/// The solutions a search found, by (size, rank), and whether its bound stopped it first.
struct Found {
    std::vector<std::pair<std::size_t, std::uint64_t>> solutions;
    bool stopped = false;
    bool uncounted = false;
};

/// The puzzle's search, looking at no more placements than its bound in all.
class BoundedSearch {
public:
    BoundedSearch(const Puzzle& puzzle, std::uint64_t max_placements)
        : puzzle_(puzzle), search_(puzzle.level_text, puzzle.hand, slot_numbers(puzzle),
                                   puzzle.use_all),
          left_(max_placements) {}

    std::uint64_t looked_at() const { return looked_at_; }

    /// Up to `wanted` solutions of the smallest size from `smallest` that has any, lowest ranks
    /// first, among the placements `filter` accepts.
    Found smallest_solutions(std::size_t smallest, std::uint64_t wanted,
                             const solver::PlacementFilter& filter) {
        Found found;
        for (std::size_t size = smallest; size <= puzzle_.hand.size(); ++size) {
            const auto signed_size = static_cast<std::int64_t>(size);
            std::uint64_t count = 0;
            try {
                count = search_.placement_count(signed_size);
            } catch (const std::overflow_error&) {
                found.stopped = found.uncounted = true;
                return found;
            }
            for (std::uint64_t start = 0; start < count && found.solutions.size() < wanted;) {
                if (left_ == 0) {
                    found.stopped = true;
                    return found;
                }
                const std::uint64_t stop = start + std::min({count - start, kRanksPerCall, left_});
                const solver::SearchResult result = search_.search(
                    signed_size, start, stop, wanted - found.solutions.size(), filter);
                for (const std::uint64_t rank : result.solution_ranks) {
                    found.solutions.emplace_back(size, rank);
                }
                left_ -= stop - start;
                looked_at_ += stop - start;
                start = stop;
            }
            if (!found.solutions.empty()) {
                return found;
            }
        }
        return found;
    }

    /// What each slot receives in that solution (solver::Placement).
    solver::Placement placement(std::pair<std::size_t, std::uint64_t> solution) {
        solver::Placement slots(puzzle_.slots.size());
        for (auto& [slot, agents] :
             search_.placement(static_cast<std::int64_t>(solution.first), solution.second)) {
            slots[slot] = std::move(agents);
        }
        return slots;
    }

private:
    static std::vector<std::int64_t> slot_numbers(const Puzzle& puzzle) {
        return {puzzle.slots.begin(), puzzle.slots.end()};
    }

    const Puzzle& puzzle_;
    solver::PuzzleSearch search_;
    std::uint64_t left_;
    std::uint64_t looked_at_ = 0;
};

/// The first agent the solution adds to what the player placed, as a "place" hint.
Hint place_hint(const Attempt& attempt, const solver::Placement& solution, const Received& kept,
                const HandKinds& hand) {
    const Puzzle& puzzle = attempt.puzzle();
    for (std::size_t slot = 0; slot < solution.size(); ++slot) {
        const auto stands = matched(solution[slot], kept[slot], hand);
        const auto missing = std::find(stands.begin(), stands.end(), std::nullopt);
        if (missing == stands.end()) {
            continue;
        }
        const auto at = static_cast<std::size_t>(missing - stands.begin());
        const std::size_t kind = hand.kind[solution[slot][at]];
        const std::int32_t priority = hand.priority[solution[slot][at]];
        // Of its kind, the first hand agent not yet placed.
        const std::vector<bool> placed = attempt.placed();
        std::size_t agent = 0;
        while (placed[agent] || hand.kind[agent] != kind) {
            ++agent;
        }
        // Its place among the player's agents of its priority: after the one the solution puts
        // before it, or before the one it puts after it; among other priorities, anywhere.
        const std::vector<std::size_t>& order = attempt.received()[slot];
        const auto index_of = [&](std::size_t placed_agent) {
            return static_cast<std::size_t>(std::find(order.begin(), order.end(), placed_agent) -
                                            order.begin());
        };
        std::optional<std::size_t> index;
        for (std::size_t before = at; before-- > 0 && !index;) {
            if (stands[before] && hand.priority[*stands[before]] == priority) {
                index = index_of(*stands[before]) + 1;
            }
        }
        for (std::size_t after = at + 1; after < stands.size() && !index; ++after) {
            if (stands[after] && hand.priority[*stands[after]] == priority) {
                index = index_of(*stands[after]);
            }
        }
        Hint hint;
        hint.action = "place";
        hint.visual_id = puzzle.hand[agent].visual_id;
        hint.zone_id = puzzle.zone_ids[puzzle.slots[slot]];
        hint.index = index.value_or(order.size());
        hint.text = "put " + agent_words(puzzle.hand[agent]) + " into " + hint.zone_id;
        if (*hint.index < order.size()) {
            hint.text += ", before " + agent_words(puzzle.hand[order[*hint.index]]);
        }
        return hint;
    }
    throw std::logic_error("the solution adds no agent to the placement it keeps");
}

/// The placed agent to take back: one that the solution keeping most of the placement has
/// no place for.
Hint remove_hint(const Attempt& attempt, BoundedSearch& search, const Found& found,
                 const Received& kept, const HandKinds& hand) {
    std::vector<std::size_t> best_left_out;
    std::size_t best_slot = 0;
    std::size_t fewest = attempt.placed_count() + 1;
    for (const auto& solution : found.solutions) {
        const solver::Placement slots = search.placement(solution);
        std::size_t count = 0;
        std::optional<std::pair<std::size_t, std::vector<std::size_t>>> first;
        for (std::size_t slot = 0; slot < slots.size(); ++slot) {
            std::vector<std::size_t> out = left_out(slots[slot], kept[slot], hand);
            count += out.size();
            if (!first && !out.empty()) {
                first.emplace(slot, std::move(out));
            }
        }
        if (first && count < fewest) {
            fewest = count;
            best_slot = first->first;
            best_left_out = std::move(first->second);
        }
    }
    if (best_left_out.empty()) {
        throw std::logic_error("a solution that keeps the placement was missed");
    }
    const Puzzle& puzzle = attempt.puzzle();
    Hint hint;
    hint.action = "remove";
    hint.visual_id = puzzle.hand[best_left_out.front()].visual_id;
    hint.zone_id = puzzle.zone_ids[puzzle.slots[best_slot]];
    hint.text = "take " + agent_words(puzzle.hand[best_left_out.front()]) + " out of " +
                hint.zone_id + ": no solution keeps everything placed so far";
    return hint;
}

Hint verdict(std::string action, std::string text) {
    Hint hint;
    hint.action = std::move(action);
    hint.text = std::move(text);
    return hint;
}

Hint bound_reached(const Found& found, std::uint64_t looked_at, bool kept_any) {
    if (found.uncounted) {
        return verdict("unknown", "no hint: the puzzle has more placements than the search "
                                  "can count");
    }
    return verdict("unknown", "no hint within the bound: the search looked at " +
                                  std::to_string(looked_at) +
                                  " placements without finding a solution" +
                                  (kept_any ? " that keeps this placement" : ""));
}

Hint search_hint(const Attempt& attempt, BoundedSearch& search) {
    const Puzzle& puzzle = attempt.puzzle();
    const HandKinds hand = hand_kinds(puzzle);
    const Received kept = tried_order(attempt.received(), hand);
    const std::size_t placed = attempt.placed_count();
    const Found keeping = search.smallest_solutions(
        std::max(puzzle.smallest_size(), placed), 1,
        [&](const solver::Placement& solution) { return keeps(solution, kept, hand); });
    if (!keeping.solutions.empty()) {
        return place_hint(attempt, search.placement(keeping.solutions.front()), kept, hand);
    }
    if (keeping.stopped) {
        return bound_reached(keeping, search.looked_at(), placed > 0);
    }
    if (placed == 0) {
        return verdict("none", "no placement of the hand solves this puzzle");
    }
    const Found any = search.smallest_solutions(puzzle.smallest_size(), kSolutionsToWeigh,
                                                nullptr);
    if (!any.solutions.empty()) {
        return remove_hint(attempt, search, any, kept, hand);
    }
    if (any.stopped) {
        return bound_reached(any, search.looked_at(), false);
    }
    return verdict("none", "no placement of the hand solves this puzzle");
}

} // namespace

Hint hint_for(const Attempt& attempt, std::uint64_t max_placements) {
    if (use_all_refusal(attempt.puzzle(), attempt.placed()).empty()) {
        solver::WorkLevel level(attempt.placed_level());
        if (level.run_solves()) {
            return verdict("solved", "the placement solves the puzzle: run it");
        }
    }
    BoundedSearch search(attempt.puzzle(), max_placements);
    Hint hint = search_hint(attempt, search);
    hint.placements = search.looked_at();
    return hint;
}

nlohmann::ordered_json hint_json(const Hint& hint) {
    nlohmann::ordered_json json{{"action", hint.action}};
    if (hint.action == "place" || hint.action == "remove") {
        json["visual_id"] = hint.visual_id;
        json["zone_id"] = hint.zone_id;
    }
    if (hint.index) {
        json["index"] = *hint.index;
    }
    json["text"] = hint.text;
    json["placements"] = hint.placements;
    return json;
}

} // namespace orv
