#pragma once

// The course of a puzzle's search over its sizes and what it found, whoever runs the
// placements (the browser build in one go; the package in chunks, over worker processes or a
// Dask cluster): the sizes in order, how many placements of each to try, when to stop, and
// the figures that follow from the counts. One set of rules for every face of the engine.
//
// The sizes are searched smallest first, up to the minimal size that solves (every size with
// `all_sizes`), trying at most `max_placements` in all. The difficulty is measured at the
// minimal size n: with P the distinct placements of n agents and S the solving ones among them,
// log2(P / S) bits. It is known only when every placement of that size was tried.
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>

#include <nlohmann/json.hpp>

namespace orv::solver {

/// The bounds of a search when none are given.
inline constexpr std::uint64_t kDefaultMaxPlacements = 10'000'000;
inline constexpr std::uint64_t kDefaultMaxSolutions = 20;

class SearchTally {
public:
    /// Placements have `smallest` to `largest` agents; at most `max_placements` are tried and
    /// `max_solutions` solutions kept, sizes ascending.
    SearchTally(std::size_t smallest, std::size_t largest, std::uint64_t max_placements,
                std::uint64_t max_solutions, bool all_sizes);

    /// The size to search next, or nothing when the search is over.
    std::optional<std::size_t> next_size() const;
    /// Starts that size, which has `placements` distinct placements: how many of them to try
    /// (the lowest ranks), or nothing when the bound on placements ends the search first.
    std::optional<std::uint64_t> start_size(std::uint64_t placements);
    /// That size has more placements than 64 bits count: the search ends before it.
    void start_uncounted();
    /// Placements of the current size tried, and how many of them solve.
    void add(std::uint64_t tried, std::uint64_t solved);
    /// Of `found` solutions of the current size (the lowest ranks first), how many to keep.
    std::uint64_t keep_solutions(std::uint64_t found);
    /// How many more solutions may be kept.
    std::uint64_t solution_room() const { return solution_room_; }
    /// Ends the current size; `interrupted` when its placements to try were not all tried.
    void end_size(bool interrupted);

    /// Whether every distinct placement of the sizes searched was tried.
    bool complete() const { return complete_; }
    bool interrupted() const { return interrupted_; }
    /// Whether the bound on placements, or a size too large to count, ended the search.
    bool bound_reached() const { return bound_reached_; }
    std::optional<std::size_t> uncounted_size() const { return uncounted_size_; }
    /// The placements tried in all.
    std::uint64_t placements() const { return placements_; }

    /// What each size searched came to, by size.
    struct SizeCount {
        /// Its distinct placements.
        std::uint64_t placements = 0;
        /// Its solving placements found (all of them when `searched`).
        std::uint64_t solutions = 0;
        /// Whether every one of its placements was tried.
        bool searched = false;
    };
    const std::map<std::size_t, SizeCount>& sizes() const { return sizes_; }

    bool solvable() const { return min_size().has_value(); }
    /// The smallest size with a solution found.
    std::optional<std::size_t> min_size() const;
    /// Whether one placement alone of the minimal size solves; nothing when no solution was
    /// found, or one was but the rest of its size was not searched.
    std::optional<bool> unique() const;
    /// log2(P / S) at the minimal size; nothing unless that size was searched to its end.
    std::optional<double> difficulty() const;

    /// What `orv solve --json` prints, but "seconds": "solvable", "complete", "min_size",
    /// `solutions`, "solution_count" (by size, as text), "unique", "difficulty", "placements".
    nlohmann::ordered_json to_json(nlohmann::ordered_json solutions) const;

private:
    std::size_t next_ = 0;
    std::size_t largest_;
    std::uint64_t budget_;
    std::uint64_t solution_room_;
    bool all_sizes_;
    bool over_ = false;
    std::uint64_t to_try_ = 0;
    bool complete_ = true;
    bool interrupted_ = false;
    bool bound_reached_ = false;
    std::optional<std::size_t> uncounted_size_;
    std::uint64_t placements_ = 0;
    std::map<std::size_t, SizeCount> sizes_;
};

} // namespace orv::solver
