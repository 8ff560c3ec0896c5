#pragma once

// What a step records and guards against: the two policies of StepRoutine.
#include <optional>
#include <string>
#include <vector>

#include "casting.hpp"
#include "orv/sequencer.hpp"
#include "orv/spell_effect.hpp"
#include "orv/step_record.hpp"

namespace orv {

/// The step of NextFrame. Signal handlers may run Python code between the trials (interrupt
/// checks), so the candidates hold the agents by shared reference, and a step that fails
/// before it changed the tree gives the agents tried their states back. It records the
/// frame's event, and fills the step record when one is asked for.
class NarratedStep {
public:
    using Candidates = CandidateList;
    static constexpr bool kChecksInterrupts = true;
    static constexpr bool kRestoresStates = true;
    /// Levels played frame by frame may be large and cold in the cache.
    static constexpr bool kPrefetch = true;
    /// Each candidate holds one reference to its agent.
    static constexpr long kCandidateReferences = 1;

    /// `record`: null when nobody asks what the step did.
    explicit NarratedStep(StepRecord* record) : record_(record) {}

    bool cast(MagicianAgent& agent, Environment& zone, bool& spell_ran);
    void spell_cast(NarrativeSequencer& sequencer, MagicianAgent& agent, Environment& zone);
    /// What a collapse records, made before the tree changes.
    struct Collapse {
        FrameEvent event;
        std::optional<StepRecord> record;
    };
    Collapse collapsing(const Environment& sub, const Environment& parent,
                        const std::vector<OpenZone<Environment>>& open);
    void collapsed(NarrativeSequencer& sequencer, Collapse noted);
    void ended(NarrativeSequencer& sequencer);

private:
    StepRecord* record_;
    SpellEffect effect_;
};

/// The step of a quiet run: nothing outside the engine runs during it and nothing is recorded;
/// a failure abandons the run, so no state is kept to take the step back.
class QuietStep {
public:
    using Candidates = QuietCandidateList;
    static constexpr bool kChecksInterrupts = false;
    static constexpr bool kRestoresStates = false;
    /// A quiet run walks one small tree again and again: it stays in the cache.
    static constexpr bool kPrefetch = false;
    static constexpr long kCandidateReferences = 0;

    bool cast(MagicianAgent& agent, Environment& zone, bool& spell_ran) {
        return try_cast(agent, zone, spell_ran);
    }
    void spell_cast(NarrativeSequencer& /*sequencer*/, MagicianAgent& /*agent*/,
                    Environment& /*zone*/) {}
    struct Collapse {};
    Collapse collapsing(const Environment& /*sub*/, const Environment& /*parent*/,
                        const std::vector<OpenZone<Environment>>& /*open*/) {
        return {};
    }
    void collapsed(NarrativeSequencer& /*sequencer*/, Collapse /*noted*/) {}
    void ended(NarrativeSequencer& /*sequencer*/) {}
};

} // namespace orv
