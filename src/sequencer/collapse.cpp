// A zone worked down to one charge and no agents merges into its parent.
#include "orv/sequencer.hpp"
#include "step_policies.hpp"
#include "step_routine.hpp"

namespace orv {

bool NarrativeSequencer::check_and_collapse(Environment* zone) {
    NarratedStep policy(nullptr);
    return StepRoutine<NarratedStep>(*this, policy).collapse_first_resolved(*zone);
}

} // namespace orv
