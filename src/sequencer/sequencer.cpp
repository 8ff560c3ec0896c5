#include "orv/sequencer.hpp"

#include <algorithm>
#include <stdexcept>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "event_text.hpp"
#include "orv/interrupt.hpp"

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
    Environment* root = root_environment.get();
    update_freeze_states(root);
    CandidateList candidates;
    collect_agents(root, candidates);
    // Stable, so that agents of equal priority keep their collection order at any count.
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& a, const Candidate& b) {
                         check_interrupt();
                         return a.first->priority > b.first->priority;
                     });
    // Until a spell or a collapse changes the tree, a failure (an interruption, memory) takes
    // the step back: the agents tried so far get their states again and the step is not
    // counted. Once a spell has taken effect or thrown, the step stays taken.
    std::vector<AgentState> states_before;
    states_before.reserve(candidates.size());
    for (const Candidate& candidate : candidates) {
        states_before.push_back(candidate.first->state);
    }
    ++current_frame;
    bool spell_ran = false;
    try {
        if (cast_first_willing(candidates, spell_ran) || check_and_collapse(root)) {
            return;
        }
    } catch (...) {
        if (!spell_ran) {
            --current_frame;
            for (std::size_t index = 0; index < candidates.size(); ++index) {
                candidates[index].first->state = states_before[index];
            }
        }
        throw;
    }
    is_finished = true;
    last_event = FrameEvent{"System", "N/A", event_text(ORV_FRAME_EVENT_FINISHED),
                            "Equation Resolved."};
}

bool NarrativeSequencer::cast_first_willing(const CandidateList& candidates,
                                            bool& spell_ran) {
    for (const auto& [agent, zone] : candidates) {
        check_interrupt();
        agent->state = AgentState::ACTIVE;
        bool cast = false;
        try {
            cast = agent->CastSpell(zone->charges);
        } catch (...) {
            // The spell may have restructured the list before it failed.
            zone->mark_charges_changed();
            spell_ran = true;
            throw;
        }
        if (!cast) {
            agent->state = AgentState::DORMANT;
            continue;
        }
        spell_ran = true;
        zone->mark_charges_changed();
        last_event = FrameEvent{agent->name, agent->visual_id,
                                event_text(ORV_FRAME_EVENT_CAST_SPELL),
                                agent->name + " executed operation in " + zone->id};
        // Only the first entry for this agent goes; other entries, here or in other zones,
        // stay and may cast later.
        auto& agents = zone->agents;
        if (auto entry = std::find(agents.begin(), agents.end(), agent); entry != agents.end()) {
            agents.erase(entry);
        }
        return true;
    }
    return false;
}

} // namespace orv
