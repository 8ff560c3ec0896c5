// Running a level to its end without events or texts: the same steps as NextFrame's.
#include <algorithm>
#include <cstddef>

#include "casting.hpp"
#include "orv/interrupt.hpp"
#include "orv/sequencer.hpp"
#include "orv/validate.hpp"

namespace orv {

namespace {

/// Beyond this many candidates the quadratic insertion sort gives way to std::stable_sort.
constexpr std::size_t kInsertionSortLimit = 32;

/// The order of order_by_priority: priority, highest first, collection order among equals.
/// A step has few candidates, for which an insertion sort in place (stable too) needs no
/// memory at all.
void order_quietly(QuietCandidateList& candidates) {
    const auto before = [](const auto& a, const auto& b) {
        return a.first->priority > b.first->priority;
    };
    if (candidates.size() > kInsertionSortLimit) {
        std::stable_sort(candidates.begin(), candidates.end(), before);
        return;
    }
    for (std::size_t next = 1; next < candidates.size(); ++next) {
        const auto moving = candidates[next];
        std::size_t at = next;
        for (; at > 0 && before(moving, candidates[at - 1]); --at) {
            candidates[at] = candidates[at - 1];
        }
        candidates[at] = moving;
    }
}

} // namespace

NarrativeSequencer::RunEnd NarrativeSequencer::run_quietly() {
    last_event.reset();
#ifdef ORV_VALIDATE
    // Once per run rather than per step as NextFrame does: the check walks every live zone.
    validate::live_zones();
#endif
    // NextFrame's tests, in its order, before each step and after the last.
    while (current_frame < max_frames) {
        if (is_finished) {
            return RunEnd::finished;
        }
        step_quietly();
        if (is_finished) {
            return RunEnd::finished;
        }
    }
    is_finished = true;
    return RunEnd::budget_spent;
}

void NarrativeSequencer::step_quietly() {
    Environment* root = root_environment.get();
    quiet_candidates.clear();
    freeze_and_collect(root, quiet_candidates);
    order_quietly(quiet_candidates);
    ++current_frame;
    bool spell_ran = false;
    try {
        if (cast_first_willing_quietly(quiet_candidates, spell_ran) ||
            collapse_first_resolved(root, true)) {
            return;
        }
    } catch (...) {
        // As in step(): until a spell has run, a failure takes the step back.
        if (!spell_ran) {
            --current_frame;
        }
        throw;
    }
    is_finished = true;
}

bool NarrativeSequencer::cast_first_willing_quietly(const QuietCandidateList& candidates,
                                                    bool& spell_ran) {
    for (const auto& [agent, zone] : candidates) {
        if (agent->state != AgentState::DORMANT) {
            // As in cast_first_willing: the zones listing the agent are not known.
            CachedText::clear_all();
        }
        if (!try_cast(*agent, *zone, spell_ran)) {
            continue;
        }
        auto& agents = zone->agents;
        // A named copy: clang before 16 cannot capture a structured binding in a lambda.
        const MagicianAgent* const caster = agent;
        const auto entry = std::find_if(agents.begin(), agents.end(),
                                        [&](const auto& listed) { return listed.get() == caster; });
        // Listed elsewhere too: the texts that show it active cannot all be found. Asked
        // before the entry goes, which may release the agent.
        if (entry != agents.end() && entry->use_count() > 1) {
            CachedText::clear_all();
        }
        if (entry != agents.end()) {
            agents.erase(entry);
        }
        return true;
    }
    return false;
}

} // namespace orv
