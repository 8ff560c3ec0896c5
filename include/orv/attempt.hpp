#pragma once

// A player's attempt at a puzzle: the hand's agents placed into slot zones move by move, with
// undo and redo. The rules of a move live here once, for every face of the engine: the
// package's Attempt, the command line's --place and the browser engine's checkPlacement all
// refuse a move with the same one line.
//
// Within a slot the agents keep the order the player gave them. The sequencer tries agents by
// priority and keeps the list order only among equal priorities, so that order matters only
// between agents of one priority.
#include <cstddef>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "orv/environment.hpp"
#include "orv/puzzle.hpp"

namespace orv {

/// A move or a placement refused, with one line that says why.
class PlacementError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

class Attempt {
public:
    /// What each slot holds: hand indices in the zone's order, one list per slot, in the order
    /// of Puzzle::slots.
    using Received = std::vector<std::vector<std::size_t>>;

    /// An attempt with nothing placed yet.
    explicit Attempt(Puzzle puzzle);

    const Puzzle& puzzle() const { return puzzle_; }
    const Received& received() const { return received_; }
    /// Whether each hand agent is placed, by hand index.
    std::vector<bool> placed() const;
    std::size_t placed_count() const;

    /// Puts the first unplaced hand agent with `visual_id` into slot `zone_id`, at `index` of
    /// the hand agents there (at the end when none is given). Refused: no hand agent has the id,
    /// every one with it is placed, the zone is no slot or does not exist, the index is past
    /// the end.
    void place(const std::string& visual_id, const std::string& zone_id,
               std::optional<std::size_t> index = std::nullopt);
    /// Takes a placed hand agent back into the hand. Refused when none with the id is placed.
    void remove(const std::string& visual_id);
    /// Moves a placed hand agent to `index` of slot `zone_id` (its own zone too), the index
    /// counted once the agent has left its place. Refused as remove, then as place.
    void move(const std::string& visual_id, const std::string& zone_id,
              std::optional<std::size_t> index = std::nullopt);
    /// Takes back the last change (place, remove, move or reset); false when there is none.
    bool undo();
    /// Makes the last change undone again; false when there is none.
    bool redo();
    /// Takes every agent back into the hand (a change undo takes back).
    void reset();

    /// The placement in the form of a solution: each slot that holds agents, in tree order,
    /// with their visual ids in the zone's order.
    HandPlacement placement() const;
    /// Refused (PlacementError) when the placement cannot be played: with "use": "all", a
    /// hand agent left out.
    void check_playable() const;
    /// A new tree of the level with the placement; check_playable first.
    std::shared_ptr<Environment> placed_level() const;

private:
    /// The slot of `zone_id` (an index into Puzzle::slots), or PlacementError.
    std::size_t slot_of(const std::string& zone_id) const;
    /// (slot, position) of the first placed hand agent with `visual_id`, or PlacementError.
    std::pair<std::size_t, std::size_t> placed_at(const std::string& visual_id) const;
    /// The position `index` asks for in a slot that holds `held` agents, or PlacementError.
    std::size_t position(std::optional<std::size_t> index, std::size_t held,
                         const std::string& zone_id) const;
    /// PlacementError for a visual id that names no hand agent.
    [[noreturn]] void refuse_unknown(const std::string& visual_id) const;
    void change(Received next);

    Puzzle puzzle_;
    Received received_;
    std::vector<Received> undone_by_undo_;
    std::vector<Received> redone_by_redo_;
};

/// The attempt that places `placement` move by move, zone after zone and each zone's agents in
/// order; the first move refused throws its PlacementError. A zone listed twice is refused.
Attempt attempt_from_placement(Puzzle puzzle, const HandPlacement& placement);

} // namespace orv
