#pragma once

// The one step of a level, shared by NextFrame and the quiet runs of the solver. What differs
// between them is what a step records and what it guards against; each is a member of the
// policy the routine is given (NarratedStep, QuietStep in step_policies.hpp).
#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

#include "casting.hpp"
#include "freezing.hpp"
#include "orv/interrupt.hpp"
#include "orv/sequencer.hpp"
#include "orv/zone_walk.hpp"

namespace orv {

template <class Policy>
class StepRoutine {
public:
    StepRoutine(NarrativeSequencer& sequencer, Policy& policy)
        : sequencer_(sequencer), policy_(policy) {}

    /// One step: a spell, else a collapse, else the end of the level. Until a spell has taken
    /// effect or thrown, a failure (an interruption, memory) takes the step back: the step is
    /// not counted, and with a policy that keeps them the agents tried get their states again.
    void take() {
        Environment* root = sequencer_.root_environment.get();
        auto& candidates = storage(static_cast<typename Policy::Candidates*>(nullptr));
        // update_freeze_states then collect_agents in one walk: a zone's flag is final once
        // set (see update_freeze_state), so each zone is updated and collected when it is left.
        walk_zones_with<Policy::kPrefetch>(
            *root, SkipZone{},
            [&candidates](Environment& done, Environment* /*parent*/, std::size_t /*index*/) {
                update_freeze_state(done);
                collect_unfrozen(done, candidates);
                return false;
            },
            sequencer_.walk_stack);
        sequencer_.candidates_last_frame = candidates.size();
        order_by_priority(candidates);
        ++sequencer_.current_frame;
        bool spell_ran = false;
        try {
            if (cast_first_willing(candidates, spell_ran) || collapse_first_resolved(*root)) {
                return;
            }
        } catch (...) {
            if (!spell_ran) {
                --sequencer_.current_frame;
                restore_states();
            }
            throw;
        }
        sequencer_.is_finished = true;
        policy_.ended(sequencer_);
    }

    /// The first resolved sub-zone of `zone` (no agents, exactly one charge) met depth-first,
    /// sub-zones searched before they are tested, merges into its parent. False: none.
    bool collapse_first_resolved(Environment& zone) {
        // Post-order: each sub-zone's own subtree is searched before the sub-zone itself is
        // tested, so a resolved grandchild goes before its parent and an earlier branch before
        // a later one. The zone passed in is never collapsed itself.
        auto& open = sequencer_.walk_stack;
        return walk_zones_with<Policy::kPrefetch>(
            zone, SkipZone{},
            [&](Environment& searched, Environment* parent, std::size_t index) {
                if (parent == nullptr || !searched.agents.empty() ||
                    searched.charges.size() != 1) {
                    return false;
                }
                collapse_into(*parent, index, open);
                return true;
            },
            open);
    }

private:
    /// NextFrame's list holds the agents by shared reference (signal handlers run Python code
    /// between trials); a quiet step's list, kept from step to step, does not.
    CandidateList& storage(CandidateList* /*kind*/) {
        fresh_.reserve(sequencer_.candidates_last_frame);
        return fresh_;
    }
    QuietCandidateList& storage(QuietCandidateList* /*kind*/) {
        sequencer_.quiet_candidates.clear();
        return sequencer_.quiet_candidates;
    }

    template <class Candidates>
    bool cast_first_willing(const Candidates& candidates, bool& spell_ran) {
        for (const auto& [agent, zone] : candidates) {
            if constexpr (Policy::kChecksInterrupts) {
                check_interrupt();
            }
            if (agent->state != AgentState::DORMANT) {
                // Rare (only code outside the engine sets another state): remembered to take
                // the step back, and the zones listing the agent are not known, so every
                // cached text goes.
                if constexpr (Policy::kRestoresStates) {
                    states_before_.emplace_back(&*agent, agent->state);
                }
                CachedText::clear_all();
            }
            if (!policy_.cast(*agent, *zone, spell_ran)) {
                continue;
            }
            policy_.spell_cast(sequencer_, *agent, *zone);
            leave_zone(*agent, *zone);
            return true;
        }
        return false;
    }

    /// Only the first entry for the caster goes; other entries, here or in other zones, stay
    /// and may cast later.
    void leave_zone(MagicianAgent& agent, Environment& zone) {
        auto& agents = zone.agents;
        const auto entry = std::find_if(agents.begin(), agents.end(),
                                        [&](const auto& listed) { return listed.get() == &agent; });
        if (entry == agents.end()) {
            return;
        }
        // Listed elsewhere too (or this zone is collected at several places): the texts that
        // show it active cannot all be found without back links. Asked before the entry goes,
        // which may release the agent.
        if (entry->use_count() - Policy::kCandidateReferences > 1) {
            CachedText::clear_all();
        }
        agents.erase(entry);
    }

    void collapse_into(Environment& parent, std::size_t index,
                       const std::vector<OpenZone<Environment>>& open) {
        Environment& sub = *parent.sub_environments[index];
        // Everything that can fail to allocate happens before the tree changes.
        auto noted = policy_.collapsing(sub, parent, open);
        parent.charges.push_back(sub.charges.front());
        parent.mark_charges_changed();
        policy_.collapsed(sequencer_, std::move(noted));
        // Last: this may destroy `sub` with whatever it still holds.
        parent.remove_sub_environment(index);
    }

    void restore_states() {
        for (const auto& [agent, state] : states_before_) {
            agent->state = state;
        }
    }

    NarrativeSequencer& sequencer_;
    Policy& policy_;
    CandidateList fresh_;
    std::vector<std::pair<MagicianAgent*, AgentState>> states_before_;
};

} // namespace orv
