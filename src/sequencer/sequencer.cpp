#include "orv/sequencer.hpp"

#include <stdexcept>
#include <utility>

#include <nlohmann/json.hpp>

#include "event_text.hpp"
#include "orv/validate.hpp"
#include "step_policies.hpp"
#include "step_routine.hpp"

namespace orv {

NarrativeSequencer::NarrativeSequencer(std::shared_ptr<Environment> env)
    : root_environment(std::move(env)) {
    if (!root_environment) {
        throw std::invalid_argument("NarrativeSequencer needs a top zone, got an empty reference");
    }
}

nlohmann::json NarrativeSequencer::NextFrame() {
    FrameOutcome outcome = advance(nullptr);
    return generate_response(std::move(outcome.status), std::move(outcome.message));
}

void NarrativeSequencer::write_next_frame(JsonTextWriter& out, StepRecord* record) {
    const FrameOutcome outcome = advance(record);
    write_response(out, outcome.status, outcome.message);
}

NarrativeSequencer::FrameOutcome NarrativeSequencer::advance(StepRecord* record) {
    last_event.reset();
    FrameOutcome outcome;
    StepRecord::Kind idle = StepRecord::Kind::none;
    // The budget test comes first, so an exhausted sequencer never reports "finished".
    if (current_frame >= max_frames) {
        is_finished = true;
        outcome = {event_text(ORV_FRAME_EVENT_ERROR),
                   "Max frame limit reached. Infinite loop detected."};
        idle = StepRecord::Kind::budget;
    } else if (is_finished) {
        outcome = {event_text(ORV_FRAME_EVENT_FINISHED),
                   "Simulation complete. No further actions."};
    } else {
#ifdef ORV_VALIDATE
        validate::live_zones();
#endif
        NarratedStep policy(record);
        StepRoutine<NarratedStep>(*this, policy).take();
        outcome = {event_text(is_finished ? ORV_FRAME_EVENT_FINISHED : ORV_FRAME_EVENT_RUNNING),
                   last_event->description};
        if (record != nullptr) {
            record->frame = current_frame;
        }
        return outcome;
    }
    if (record != nullptr) {
        *record = StepRecord{};
        record->kind = idle;
        record->frame = current_frame;
        record->text = outcome.message;
    }
    return outcome;
}

} // namespace orv
