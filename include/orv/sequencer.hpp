#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "orv/agent.hpp"
#include "orv/environment.hpp"
#include "orv/frame_event.hpp"
#include "orv/rules.hpp"
#include "orv/step_record.hpp"
#include "orv/zone_walk.hpp"

namespace orv {

/// One agent that may act in the current frame, with the zone whose agent list holds it.
/// The shared reference keeps the agent alive for the whole frame.
using Candidate = std::pair<std::shared_ptr<MagicianAgent>, Environment*>;
using CandidateList = std::vector<Candidate>;
/// The candidates of a quiet step: nothing outside the engine runs during it, and agents
/// leave their zones only after the last trial, so no reference needs to keep them alive.
using QuietCandidateList = std::vector<std::pair<MagicianAgent*, Environment*>>;

/// Orders candidates by priority, highest first, keeping the collection order among equals.
void order_by_priority(CandidateList& candidates);
void order_by_priority(QuietCandidateList& candidates);

/// Runs a level: each NextFrame performs one step (a spell, a collapse or the end of the
/// level) and returns the frame document. Shares the top zone with the game.
class NarrativeSequencer {
public:
    /// Throws std::invalid_argument for an empty reference: every frame needs the top zone.
    explicit NarrativeSequencer(std::shared_ptr<Environment> env);
    virtual ~NarrativeSequencer() = default;

    NarrativeSequencer(const NarrativeSequencer&) = delete;
    NarrativeSequencer& operator=(const NarrativeSequencer&) = delete;

    /// One frame; returns the top zone's JSON plus "meta". Exceptions from a step propagate.
    /// A spell that throws keeps what it did; any other failure of the step (an interrupt,
    /// lack of memory) comes before the tree changes and leaves the step untaken.
    virtual nlohmann::json NextFrame();
    /// The same frame as NextFrame, written as the compact text of its document without
    /// building the JSON value first. With a `record`, also fills it with what the step did;
    /// without one, nothing is spent on it.
    void write_next_frame(JsonTextWriter& out, StepRecord* record = nullptr);

    /// Recomputes is_time_frozen of `zone` and its whole subtree: a zone is frozen while one
    /// of its direct sub-zones still has an agent or more than one charge.
    void update_freeze_states(Environment* zone);
    /// Appends the agents of every unfrozen zone of the subtree, sub-zones first (post-order).
    void collect_agents(Environment* zone, CandidateList& candidates);
    /// Collapses the first resolved sub-zone (no agents, exactly one charge) met depth-first,
    /// sub-zones searched before they are tested; records its event. False: nothing changed.
    bool check_and_collapse(Environment* zone);
    /// The frame document: the top zone's JSON with "meta" set.
    nlohmann::json generate_response(std::string status, std::string message) const;
    /// Writes the compact text of generate_response(status, message).
    void write_response(JsonTextWriter& out, const std::string& status,
                        const std::string& message) const;

    /// How a run to the end of a level ended.
    enum class RunEnd {
        /// The level ended: the last step found nothing to cast or collapse.
        finished,
        /// The step budget was spent first (the "ERROR" frame of NextFrame).
        budget_spent,
    };
    /// Calls NextFrame in effect until it reports "FINISHED" or "ERROR", but records no event
    /// and builds no document or text: the tree, the agents, current_frame and is_finished end
    /// exactly as those calls leave them, and last_event is left empty. A failure of a step
    /// leaves it as NextFrame's would (see NextFrame); the steps before it stay taken.
    RunEnd run_quietly();

    /// Steps taken so far; the frame_index of every document.
    std::int32_t current_frame = 0;
    /// The step budget.
    std::int32_t max_frames = rules::kStepBudget;
    bool is_finished = false;
    /// The event recorded during the current call.
    std::optional<FrameEvent> last_event;
    std::shared_ptr<Environment> root_environment;

    /// What a frame reports: its status and message.
    struct FrameOutcome {
        std::string status;
        std::string message;
    };
    /// Everything NextFrame does but building the document; fills `record` when given. For a
    /// run that needs only what the steps did (write_response can write the frame after it).
    FrameOutcome advance(StepRecord* record);

private:
    template <class Policy>
    friend class StepRoutine;

    /// How many candidates the previous step collected: the next list starts with that room.
    std::size_t candidates_last_frame = 0;
    /// The candidate list of quiet steps and the stack of every step's walks, kept with their
    /// storage from step to step.
    QuietCandidateList quiet_candidates;
    std::vector<OpenZone<Environment>> walk_stack;
};

} // namespace orv
