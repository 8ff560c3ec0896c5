#pragma once

// The inside of PlacementSpace: the count vectors of one size and the cursor over them.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "orv/solver.hpp"

namespace orv::solver {

/// How many agents of each kind a set of placements uses, and how many placements they are.
struct PlacementSpace::CountVector {
    std::vector<std::size_t> counts;
    std::uint64_t placements;
    /// The rank of the first of them.
    std::uint64_t first_rank;
};

/// Every count vector of one size with at least one placement, in canonical order.
struct PlacementSpace::SizeTable {
    std::vector<CountVector> vectors;
    std::uint64_t total = 0;
};

/// A position in the canonical order of one size. The arrangement of each priority class is
/// an array of symbols: 0 the separator between two slots, i the class's i-th kind (from 1).
class PlacementSpace::Cursor {
public:
    Cursor(PlacementSpace& space, const SizeTable& table, std::uint64_t rank);

    /// Moves to the next rank; false past the last.
    bool advance();
    /// What each slot receives at this position (see Placement), into `out`'s storage.
    void fill(Placement& out);

private:
    /// Sets the arrangements to the `rank`-th within the current count vector.
    void unrank_within(std::uint64_t rank);
    /// Sets `symbols` to the `rank`-th distinct sequence of the symbol counts `left`.
    void unrank_arrangement(std::vector<std::size_t> left, std::uint64_t rank,
                            std::vector<std::uint8_t>& symbols) const;

    PlacementSpace& space_;
    const SizeTable& table_;
    std::size_t vector_index_ = 0;
    std::vector<std::vector<std::uint8_t>> classes_;
    std::vector<std::size_t> used_;
};

} // namespace orv::solver
