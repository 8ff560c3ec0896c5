#include <limits>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "orv/interrupt.hpp"
#include "orv/solver.hpp"
#include "placement_parts.hpp"
#include "work_level.hpp"

namespace orv::solver {

namespace {

std::string quoted(const std::string& text) {
    return nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

/// The hand's kinds in order of first appearance; each hand agent is made and kept by `level`.
std::vector<HandKind> hand_kinds(const std::vector<HandAgent>& hand, WorkLevel& level,
                                 std::vector<MagicianAgent*>& made) {
    std::vector<HandKind> kinds;
    std::vector<std::string> names;
    for (std::size_t index = 0; index < hand.size(); ++index) {
        const HandAgent& wanted = hand[index];
        std::shared_ptr<MagicianAgent> agent = make_agent(wanted.name, wanted.visual_id);
        if (!agent) {
            throw std::invalid_argument("hand agent " + std::to_string(index) + ": " +
                                        quoted(wanted.name) + " is not the name of an agent kind");
        }
        if (is_goal_gate(*agent)) {
            throw std::invalid_argument("hand agent " + std::to_string(index) + ": " +
                                        quoted(wanted.name) +
                                        " is a gate; gates are the goals, not part of a hand");
        }
        std::size_t kind = 0;
        while (kind < names.size() && names[kind] != wanted.name) {
            ++kind;
        }
        if (kind == names.size()) {
            names.push_back(wanted.name);
            kinds.push_back({agent->priority, {}});
        }
        kinds[kind].hand_indices.push_back(index);
        made.push_back(&level.keep(std::move(agent)));
    }
    return kinds;
}

} // namespace

PuzzleSearch::PuzzleSearch(std::string_view level_text, const std::vector<HandAgent>& hand,
                           const std::vector<std::int64_t>& slots, bool use_all)
    : level_(std::make_unique<WorkLevel>(Environment::from_json_text(level_text))) {
    for (std::size_t index = 0; index < slots.size(); ++index) {
        const std::int64_t zone = slots[index];
        if (zone < 0 || static_cast<std::uint64_t>(zone) >= level_->zone_count()) {
            throw std::invalid_argument("slot " + std::to_string(index) + ": zone number " +
                                        std::to_string(zone) + " is not one of the level's " +
                                        std::to_string(level_->zone_count()) + " zones");
        }
        for (std::size_t earlier = 0; earlier < index; ++earlier) {
            if (slots[earlier] == zone) {
                throw std::invalid_argument("slot " + std::to_string(index) + ": zone number " +
                                            std::to_string(zone) + " is already slot " +
                                            std::to_string(earlier));
            }
        }
        slot_zones_.push_back(static_cast<std::size_t>(zone));
    }
    space_ = std::make_unique<PlacementSpace>(hand_kinds(hand, *level_, hand_agents_),
                                              slot_zones_.size(), use_all);
}

PuzzleSearch::~PuzzleSearch() = default;

std::size_t PuzzleSearch::checked_size(std::int64_t size) const {
    if (size < 0) {
        throw std::invalid_argument("placement size " + std::to_string(size) +
                                    " is negative");
    }
    return static_cast<std::size_t>(size);
}

std::uint64_t PuzzleSearch::placement_count(std::int64_t size) {
    return space_->count(checked_size(size));
}

SearchResult PuzzleSearch::search(std::int64_t size, std::uint64_t start, std::uint64_t stop,
                                  std::uint64_t max_solutions, const PlacementFilter& wanted) {
    const std::size_t agents = checked_size(size);
    SearchResult result;
    stop = std::min(stop, space_->count(agents));
    if (start >= stop) {
        return result;
    }
    auto cursor = space_->cursor(agents, start);
    Placement placement;
    for (std::uint64_t rank = start; rank < stop; ++rank) {
        check_interrupt();
        cursor->fill(placement);
        if (wanted && !wanted(placement)) {
            cursor->advance();
            continue;
        }
        level_->reset();
        for (std::size_t slot = 0; slot < placement.size(); ++slot) {
            for (const std::size_t hand_index : placement[slot]) {
                level_->append(slot_zones_[slot], *hand_agents_[hand_index]);
            }
        }
        const bool solves = level_->run_solves();
        ++result.tried;
        if (solves) {
            ++result.solved;
            if (result.solution_ranks.size() < max_solutions) {
                result.solution_ranks.push_back(rank);
            }
        }
        cursor->advance();
    }
    return result;
}

std::vector<std::pair<std::size_t, std::vector<std::size_t>>>
PuzzleSearch::placement(std::int64_t size, std::uint64_t rank) {
    Placement placement;
    space_->cursor(checked_size(size), rank)->fill(placement);
    std::vector<std::pair<std::size_t, std::vector<std::size_t>>> received;
    for (std::size_t slot = 0; slot < placement.size(); ++slot) {
        if (!placement[slot].empty()) {
            received.emplace_back(slot, std::move(placement[slot]));
        }
    }
    return received;
}

} // namespace orv::solver
