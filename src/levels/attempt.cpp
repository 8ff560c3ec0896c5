// A player's placement of a puzzle's hand, move by move.
#include "orv/attempt.hpp"

#include <algorithm>
#include <utility>

#include <nlohmann/json.hpp>

#include "problem_words.hpp"

namespace orv {

namespace {

/// A text quoted as JSON writes it, so that a refusal stays one line whatever an id holds.
std::string quoted_text(const std::string& text) {
    return nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

/// The agent of the level itself (not of the hand) with `visual_id`, as "the Equals Gate of
/// zone vault", or nothing.
std::string level_agent_named(const std::string& level_text, const std::string& visual_id) {
    std::vector<const nlohmann::json*> zones{};
    const nlohmann::json top = nlohmann::json::parse(level_text);
    zones.push_back(&top);
    while (!zones.empty()) {
        const nlohmann::json& zone = *zones.back();
        zones.pop_back();
        for (const auto& agent : zone["agents"]) {
            if (agent["visual_id"] == visual_id) {
                return agent["name"].get<std::string>() + " of zone " +
                       quoted_text(zone["id"].get<std::string>());
            }
        }
        for (const auto& sub : zone["sub_environments"]) {
            zones.push_back(&sub);
        }
    }
    return "";
}

} // namespace

Attempt::Attempt(Puzzle puzzle)
    : puzzle_(std::move(puzzle)), received_(puzzle_.slots.size()) {}

std::vector<bool> Attempt::placed() const {
    std::vector<bool> flags(puzzle_.hand.size(), false);
    for (const auto& agents : received_) {
        for (const std::size_t agent : agents) {
            flags[agent] = true;
        }
    }
    return flags;
}

std::size_t Attempt::placed_count() const {
    std::size_t count = 0;
    for (const auto& agents : received_) {
        count += agents.size();
    }
    return count;
}

void Attempt::refuse_unknown(const std::string& visual_id) const {
    const std::string level_agent = level_agent_named(puzzle_.level_text, visual_id);
    if (!level_agent.empty()) {
        throw PlacementError(quoted_text(visual_id) + " is the level's own " + level_agent +
                             ", not an agent of the hand");
    }
    std::vector<std::string> hand_ids;
    for (const solver::HandAgent& agent : puzzle_.hand) {
        hand_ids.push_back(agent.visual_id);
    }
    throw PlacementError("no agent of the hand has the visual id " + quoted_text(visual_id) +
                         levels::did_you_mean(visual_id, hand_ids));
}

std::size_t Attempt::slot_of(const std::string& zone_id) const {
    const std::string refusal = slot_refusal(puzzle_, zone_id);
    if (!refusal.empty()) {
        throw PlacementError(refusal);
    }
    const std::size_t zone = *slot_number(puzzle_, zone_id);
    return static_cast<std::size_t>(
        std::find(puzzle_.slots.begin(), puzzle_.slots.end(), zone) - puzzle_.slots.begin());
}

std::pair<std::size_t, std::size_t> Attempt::placed_at(const std::string& visual_id) const {
    for (std::size_t slot = 0; slot < received_.size(); ++slot) {
        for (std::size_t at = 0; at < received_[slot].size(); ++at) {
            if (puzzle_.hand[received_[slot][at]].visual_id == visual_id) {
                return {slot, at};
            }
        }
    }
    for (const solver::HandAgent& agent : puzzle_.hand) {
        if (agent.visual_id == visual_id) {
            throw PlacementError("hand agent " + quoted_text(visual_id) + " is not placed");
        }
    }
    refuse_unknown(visual_id);
}

std::size_t Attempt::position(std::optional<std::size_t> index, std::size_t held,
                              const std::string& zone_id) const {
    if (!index) {
        return held;
    }
    if (*index > held) {
        throw PlacementError("index " + std::to_string(*index) + " is past the end of zone " +
                             quoted_text(zone_id) + ", which holds " + std::to_string(held) +
                             " hand agent" + (held == 1 ? "" : "s") + " (0 to " +
                             std::to_string(held) + ")");
    }
    return *index;
}

void Attempt::place(const std::string& visual_id, const std::string& zone_id,
                    std::optional<std::size_t> index) {
    const std::vector<bool> flags = placed();
    std::optional<std::size_t> chosen;
    std::optional<std::size_t> placed_one;
    for (std::size_t agent = 0; agent < puzzle_.hand.size() && !chosen; ++agent) {
        if (puzzle_.hand[agent].visual_id == visual_id) {
            (flags[agent] ? placed_one : chosen) = agent;
        }
    }
    if (!chosen && placed_one) {
        const std::size_t slot = placed_at(visual_id).first;
        throw PlacementError("hand agent " + quoted_text(visual_id) + " is already placed, in zone " +
                             quoted_text(puzzle_.zone_ids[puzzle_.slots[slot]]));
    }
    if (!chosen) {
        refuse_unknown(visual_id);
    }
    const std::size_t slot = slot_of(zone_id);
    const std::size_t at = position(index, received_[slot].size(), zone_id);
    Received next = received_;
    next[slot].insert(next[slot].begin() + static_cast<std::ptrdiff_t>(at), *chosen);
    change(std::move(next));
}

void Attempt::remove(const std::string& visual_id) {
    const auto [slot, at] = placed_at(visual_id);
    Received next = received_;
    next[slot].erase(next[slot].begin() + static_cast<std::ptrdiff_t>(at));
    change(std::move(next));
}

void Attempt::move(const std::string& visual_id, const std::string& zone_id,
                   std::optional<std::size_t> index) {
    const auto [from, at] = placed_at(visual_id);
    const std::size_t to = slot_of(zone_id);
    Received next = received_;
    const std::size_t agent = next[from][at];
    next[from].erase(next[from].begin() + static_cast<std::ptrdiff_t>(at));
    const std::size_t where = position(index, next[to].size(), zone_id);
    next[to].insert(next[to].begin() + static_cast<std::ptrdiff_t>(where), agent);
    change(std::move(next));
}

void Attempt::change(Received next) {
    undone_by_undo_.push_back(std::move(received_));
    received_ = std::move(next);
    redone_by_redo_.clear();
}

bool Attempt::undo() {
    if (undone_by_undo_.empty()) {
        return false;
    }
    redone_by_redo_.push_back(std::move(received_));
    received_ = std::move(undone_by_undo_.back());
    undone_by_undo_.pop_back();
    return true;
}

bool Attempt::redo() {
    if (redone_by_redo_.empty()) {
        return false;
    }
    undone_by_undo_.push_back(std::move(received_));
    received_ = std::move(redone_by_redo_.back());
    redone_by_redo_.pop_back();
    return true;
}

void Attempt::reset() { change(Received(puzzle_.slots.size())); }

HandPlacement Attempt::placement() const {
    HandPlacement placement;
    for (std::size_t slot = 0; slot < received_.size(); ++slot) {
        if (received_[slot].empty()) {
            continue;
        }
        PlacedAgents placed_agents{puzzle_.zone_ids[puzzle_.slots[slot]], {}};
        for (const std::size_t agent : received_[slot]) {
            placed_agents.agents.push_back(puzzle_.hand[agent].visual_id);
        }
        placement.push_back(std::move(placed_agents));
    }
    return placement;
}

void Attempt::check_playable() const {
    const std::string left_out = use_all_refusal(puzzle_, placed());
    if (!left_out.empty()) {
        throw PlacementError(left_out);
    }
}

std::shared_ptr<Environment> Attempt::placed_level() const {
    check_playable();
    return place_hand(puzzle_, placement());
}

Attempt attempt_from_placement(Puzzle puzzle, const HandPlacement& placement) {
    Attempt attempt(std::move(puzzle));
    std::vector<std::string> zones;
    for (const PlacedAgents& placed : placement) {
        if (std::find(zones.begin(), zones.end(), placed.zone) != zones.end()) {
            throw PlacementError("zone " + quoted_text(placed.zone) + " is listed twice");
        }
        zones.push_back(placed.zone);
        for (const std::string& agent : placed.agents) {
            attempt.place(agent, placed.zone);
        }
    }
    return attempt;
}

} // namespace orv
