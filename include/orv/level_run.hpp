#pragma once

// A level played with a record of every step, which can tell its outcome at any frame: what
// the package's recording sequencer and the browser build play.
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "orv/json_text.hpp"
#include "orv/run_outcome.hpp"
#include "orv/sequencer.hpp"
#include "orv/step_record.hpp"

namespace orv {

/// A level read from its text and played on a tree of its own; each step is recorded and
/// counted as it is taken.
class LevelRun {
public:
    /// std::invalid_argument for a text that is not a level (Environment::from_level_text).
    explicit LevelRun(std::string_view level_text);
    /// A run of the tree `top`, which it plays and so changes: the caller gives it up.
    explicit LevelRun(std::shared_ptr<Environment> top);

    /// Takes the next step: writes its frame document to `out`, byte for byte what
    /// NarrativeSequencer::NextFrame gives, and fills `record` with what the step did.
    void write_next_frame(JsonTextWriter& out, StepRecord& record);
    /// Takes every step left, as write_next_frame would, without writing the frames.
    void finish();
    /// The outcome of the frames taken so far (the run's when it is finished);
    /// std::logic_error before the first frame.
    RunOutcome outcome() const;
    /// A frame was taken, so the run has an outcome.
    bool has_outcome() const { return last_.has_value(); }

    /// Writes the level as it now stands, as Environment::write_json does.
    void write_level(JsonTextWriter& out) const;
    /// A zone's id and the signed total of its charges as the gates sum them (none for a zone
    /// without charges); the id lies in the tree, valid until the next step.
    struct ZoneTotal {
        std::string_view id;
        std::optional<double> total;
    };
    /// Every zone's total, zones in the order a frame writes them (each before its sub-zones).
    std::vector<ZoneTotal> zone_totals() const;
    bool is_finished() const { return sequencer_.is_finished; }
    std::int32_t current_frame() const { return sequencer_.current_frame; }

private:
    /// Takes one step, filling `record`, and counts it.
    NarrativeSequencer::FrameOutcome step(StepRecord& record);

    NarrativeSequencer sequencer_;
    RunTally tally_;
    std::optional<LastFrame> last_;
};

} // namespace orv
