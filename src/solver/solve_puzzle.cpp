// A puzzle's whole search in one thread: what the browser build runs for a puzzle's solutions.
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "orv/puzzle.hpp"

namespace orv {

namespace {

nlohmann::ordered_json solution_json(const Puzzle& puzzle, solver::PuzzleSearch& search,
                                     std::size_t size, std::uint64_t rank) {
    nlohmann::ordered_json placement = nlohmann::ordered_json::array();
    for (const auto& [slot, hand_indices] :
         search.placement(static_cast<std::int64_t>(size), rank)) {
        nlohmann::ordered_json agents = nlohmann::ordered_json::array();
        for (const std::size_t index : hand_indices) {
            agents.push_back(puzzle.hand[index].visual_id);
        }
        placement.push_back({{"zone", puzzle.zone_ids[puzzle.slots[slot]]},
                             {"agents", std::move(agents)}});
    }
    return {{"size", size}, {"placement", std::move(placement)}};
}

} // namespace

nlohmann::ordered_json solve_puzzle(const Puzzle& puzzle, const SolveOptions& options) {
    const std::vector<std::int64_t> slots(puzzle.slots.begin(), puzzle.slots.end());
    solver::PuzzleSearch search(puzzle.level_text, puzzle.hand, slots, puzzle.use_all);
    solver::SearchTally tally(puzzle.smallest_size(), puzzle.hand.size(), options.max_placements,
                              options.max_solutions, options.all_sizes);
    nlohmann::ordered_json solutions = nlohmann::ordered_json::array();
    while (const std::optional<std::size_t> size = tally.next_size()) {
        const auto signed_size = static_cast<std::int64_t>(*size);
        std::uint64_t placements = 0;
        try {
            placements = search.placement_count(signed_size);
        } catch (const std::overflow_error&) {
            tally.start_uncounted();
            break;
        }
        const std::optional<std::uint64_t> to_try = tally.start_size(placements);
        if (!to_try) {
            break;
        }
        // Only the solutions that can be kept are asked for; the count covers them all.
        const solver::SearchResult found =
            search.search(signed_size, 0, *to_try, tally.solution_room());
        tally.add(found.tried, found.solved);
        const std::uint64_t kept = tally.keep_solutions(found.solution_ranks.size());
        for (auto rank = found.solution_ranks.begin();
             rank != found.solution_ranks.begin() + static_cast<std::ptrdiff_t>(kept); ++rank) {
            solutions.push_back(solution_json(puzzle, search, *size, *rank));
        }
        tally.end_size(false);
    }
    return tally.to_json(std::move(solutions));
}

} // namespace orv
