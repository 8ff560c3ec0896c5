#include "orv/sequencer.hpp"

#include <algorithm>
#include <stdexcept>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "casting.hpp"
#include "event_text.hpp"
#include "orv/interrupt.hpp"
#include "orv/validate.hpp"

namespace orv {

NarrativeSequencer::NarrativeSequencer(std::shared_ptr<Environment> env)
    : root_environment(std::move(env)) {
    if (!root_environment) {
        throw std::invalid_argument("NarrativeSequencer needs a top zone, got an empty reference");
    }
}

nlohmann::json NarrativeSequencer::NextFrame() {
    FrameOutcome outcome = advance();
    return generate_response(std::move(outcome.status), std::move(outcome.message));
}

void NarrativeSequencer::write_next_frame(JsonTextWriter& out) {
    const FrameOutcome outcome = advance();
    write_response(out, outcome.status, outcome.message);
}

NarrativeSequencer::FrameOutcome NarrativeSequencer::advance() {
    last_event.reset();
    // The budget test comes first, so an exhausted sequencer never reports "finished".
    if (current_frame >= max_frames) {
        is_finished = true;
        return {event_text(ORV_FRAME_EVENT_ERROR),
                "Max frame limit reached. Infinite loop detected."};
    }
    if (is_finished) {
        return {event_text(ORV_FRAME_EVENT_FINISHED), "Simulation complete. No further actions."};
    }
    step();
    return {event_text(is_finished ? ORV_FRAME_EVENT_FINISHED : ORV_FRAME_EVENT_RUNNING),
            last_event->description};
}

void NarrativeSequencer::step() {
#ifdef ORV_VALIDATE
    validate::live_zones();
#endif
    Environment* root = root_environment.get();
    CandidateList candidates;
    candidates.reserve(candidates_last_frame);
    freeze_and_collect(root, candidates);
    candidates_last_frame = candidates.size();
    order_by_priority(candidates);
    // Until a spell or a collapse changes the tree, a failure (an interruption, memory) takes
    // the step back: the agents tried so far get their states again and the step is not
    // counted. Once a spell has taken effect or thrown, the step stays taken.
    ++current_frame;
    bool spell_ran = false;
    std::vector<std::pair<MagicianAgent*, AgentState>> states_before;
    try {
        if (cast_first_willing(candidates, spell_ran, states_before) ||
            check_and_collapse(root)) {
            return;
        }
    } catch (...) {
        if (!spell_ran) {
            --current_frame;
            for (const auto& [agent, state] : states_before) {
                agent->state = state;
            }
        }
        throw;
    }
    is_finished = true;
    last_event = FrameEvent{"System", "N/A", event_text(ORV_FRAME_EVENT_FINISHED),
                            "Equation Resolved."};
}

bool NarrativeSequencer::cast_first_willing(
    const CandidateList& candidates, bool& spell_ran,
    std::vector<std::pair<MagicianAgent*, AgentState>>& states_before) {
    for (const auto& [agent, zone] : candidates) {
        check_interrupt();
        const AgentState state_before = agent->state;
        if (state_before != AgentState::DORMANT) {
            // Rare (only code outside the engine sets another state): remembered to take the
            // step back, and the zones listing the agent are not known, so every cached text
            // goes.
            states_before.emplace_back(agent.get(), state_before);
            CachedText::clear_all();
        }
        if (!try_cast(*agent, *zone, spell_ran)) {
            continue;
        }
        last_event = FrameEvent{agent->name, agent->visual_id,
                                event_text(ORV_FRAME_EVENT_CAST_SPELL),
                                agent->name + " executed operation in " + zone->id};
        // Only the first entry for this agent goes; other entries, here or in other zones,
        // stay and may cast later.
        auto& agents = zone->agents;
        if (auto entry = std::find(agents.begin(), agents.end(), agent); entry != agents.end()) {
            agents.erase(entry);
        }
        if (agent.use_count() > 1) {
            // Listed elsewhere too (or this zone is collected at several places): the texts
            // that show it active cannot all be found without back links.
            CachedText::clear_all();
        }
        return true;
    }
    return false;
}

} // namespace orv
