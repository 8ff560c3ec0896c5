// Running a level to its end without events or texts: NextFrame's step with nothing recorded.
#include "orv/sequencer.hpp"
#include "orv/validate.hpp"
#include "step_policies.hpp"
#include "step_routine.hpp"

namespace orv {

NarrativeSequencer::RunEnd NarrativeSequencer::run_quietly() {
    last_event.reset();
#ifdef ORV_VALIDATE
    // Once per run rather than per step as NextFrame does: the check walks every live zone.
    validate::live_zones();
#endif
    QuietStep policy;
    // NextFrame's tests, in its order, before each step and after the last.
    while (current_frame < max_frames) {
        if (is_finished) {
            return RunEnd::finished;
        }
        StepRoutine<QuietStep>(*this, policy).take();
        if (is_finished) {
            return RunEnd::finished;
        }
    }
    is_finished = true;
    return RunEnd::budget_spent;
}

} // namespace orv
