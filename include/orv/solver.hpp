#pragma once

// The search of a puzzle: a level, a hand of agents for the player, and the zones (slots) they
// may go in. A placement of size n puts n hand agents at the end of slot zones' agent lists; it
// solves the puzzle when the level so changed, run from its first step, ends (not by the step
// budget) with every gate of the level open.
//
// Distinct placements. The sequencer tries agents by priority, highest first, and keeps the
// list order only among equal priorities; hand agents of one kind differ only in their visual
// ids, which no spell's outcome depends on. So what a slot receives is canonically the sequence
// of the kinds of its agents, stably sorted by priority, highest first, and each distinct
// canonical placement is tried once.
//
// Canonical order (the ranks 0..P-1 of the placements of one size):
// 1. The kinds of the hand are numbered in order of first appearance in the hand. Placements
//    are ordered first by their count vector (how many agents of each kind they use),
//    lexicographically: fewer agents of the first kind first, then of the second, and so on.
// 2. Within one count vector, by the arrangement of each priority class (the kinds of one
//    priority), the class of the highest priority the most significant. A class's arrangement
//    is the sequence of its agents' kinds slot after slot, with a separator between two slots:
//    (number of slots - 1) separators in all. Arrangements are ordered lexicographically, the
//    separator before every kind and kinds in their numbering: rank 0 puts every agent in the
//    last slot.
// The hand agents a placement uses: for each kind, the hand's agents of that kind in hand
// order, the first unused first, walking the slots in order and each slot's agents in order.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orv {
class MagicianAgent;
}

namespace orv::solver {

/// One agent of a hand: the display name of its kind and its visual id.
struct HandAgent {
    std::string name;
    std::string visual_id;
};

/// One kind of a hand: its priority and the hand indices of its agents, in hand order.
struct HandKind {
    std::int32_t priority;
    std::vector<std::size_t> hand_indices;
};

/// What each slot receives: hand indices in order, one list per slot (empty for none).
using Placement = std::vector<std::vector<std::size_t>>;

/// The distinct placements of a hand into a number of slots, counted and ranked in the
/// canonical order above. Counts that exceed 64 bits throw std::overflow_error.
class PlacementSpace {
public:
    PlacementSpace(std::vector<HandKind> kinds, std::size_t slot_count, bool use_all);
    ~PlacementSpace();
    PlacementSpace(const PlacementSpace&) = delete;
    PlacementSpace& operator=(const PlacementSpace&) = delete;

    std::size_t hand_size() const { return hand_size_; }
    std::size_t slot_count() const { return slot_count_; }
    /// The number of distinct placements of `size` agents (0 for none).
    std::uint64_t count(std::size_t size);

    /// Walks the placements of one size in rank order.
    class Cursor;
    /// A cursor at `rank` (below count(size)).
    std::unique_ptr<Cursor> cursor(std::size_t size, std::uint64_t rank);

    struct CountVector;
    struct SizeTable;

private:
    const SizeTable& table(std::size_t size);
    /// The symbol counts of a class's arrangement under `counts`: separators, then each kind.
    std::vector<std::size_t> class_symbols(std::size_t class_index,
                                           const std::vector<std::size_t>& counts) const;
    /// The number of distinct sequences of those symbols.
    std::uint64_t multinomial(const std::vector<std::size_t>& symbols) const;

    std::vector<HandKind> kinds_;
    /// Kind numbers per priority class, highest priority first.
    std::vector<std::vector<std::size_t>> classes_;
    std::size_t slot_count_;
    std::size_t hand_size_ = 0;
    bool use_all_;
    std::vector<std::unique_ptr<SizeTable>> tables_;

    friend class Cursor;
};

/// Which placements a search tries: given what each slot receives, true to try it.
using PlacementFilter = std::function<bool(const Placement&)>;

/// How many placements a search tried and which of them solve.
struct SearchResult {
    std::uint64_t tried = 0;
    std::uint64_t solved = 0;
    /// Ranks of the first solving placements, ascending.
    std::vector<std::uint64_t> solution_ranks;
};

class WorkLevel;

/// A puzzle's search. The level is read once from the text of its top zone's to_json();
/// every placement is then tried on one working copy of it, reset between placements, so
/// memory stays flat. Bad input throws std::invalid_argument; counts beyond 64 bits,
/// std::overflow_error.
class PuzzleSearch {
public:
    /// `slots` are zone numbers in preorder of the tree (0 the top zone), each listed once.
    /// Gates and unknown names in `hand` are refused.
    PuzzleSearch(std::string_view level_text, const std::vector<HandAgent>& hand,
                 const std::vector<std::int64_t>& slots, bool use_all);
    ~PuzzleSearch();
    PuzzleSearch(const PuzzleSearch&) = delete;
    PuzzleSearch& operator=(const PuzzleSearch&) = delete;

    std::uint64_t placement_count(std::int64_t size);
    /// Tries the placements of `size` whose ranks lie in [start, stop) (stop clamped to the
    /// count), keeping the ranks of the first `max_solutions` that solve. With `wanted`, only
    /// the placements it accepts are tried (and counted as tried); the others are passed by.
    SearchResult search(std::int64_t size, std::uint64_t start, std::uint64_t stop,
                        std::uint64_t max_solutions, const PlacementFilter& wanted = nullptr);
    /// The placement of that rank: (slot index, hand indices) for each slot that receives
    /// agents, in slot order. std::out_of_range for a rank not below the count.
    std::vector<std::pair<std::size_t, std::vector<std::size_t>>> placement(std::int64_t size,
                                                                            std::uint64_t rank);

private:
    std::size_t checked_size(std::int64_t size) const;

    std::unique_ptr<WorkLevel> level_;
    std::unique_ptr<PlacementSpace> space_;
    /// Zone number of each slot.
    std::vector<std::size_t> slot_zones_;
    /// The hand's agents, kept by the working level, in hand order.
    std::vector<MagicianAgent*> hand_agents_;
};

} // namespace orv::solver
