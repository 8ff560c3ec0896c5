#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <emscripten/val.h>

#include "orv/environment.hpp"
#include "orv/json_text.hpp"
#include "orv/level_run.hpp"
#include "orv/step_record.hpp"

namespace orv::wasm {

/// A level being played frame by frame: the handle behind startLevel. It owns its tree.
class LevelRun {
public:
    explicit LevelRun(std::shared_ptr<Environment> top);

    /// The next frame's text, as NarrativeSequencer::write_next_frame writes it, as a view
    /// of its UTF-8 bytes (a Uint8Array, valid until the next call into the module); or the
    /// Error the step or the writing threw.
    emscripten::val next_frame();
    /// The step record of the last frame (StepRecord::to_json's text), or null before the
    /// first frame and after a failed one.
    emscripten::val last_step() const;
    /// The outcome of the frames played so far (RunOutcome::to_json's text), or null before
    /// the first frame; the Error its classifying threw.
    emscripten::val outcome() const;
    /// The zones' signed totals in the order the frame writes its zones (orv::LevelRun's
    /// zone_totals): an Array of [id, total] pairs, total null for a zone without charges.
    emscripten::val zone_totals() const;
    /// The level as it now stands, as orv_engine's Environment.to_json writes it.
    std::string level_text() const;
    bool is_finished() const { return run_->is_finished(); }
    std::int32_t current_frame() const { return run_->current_frame(); }

private:
    /// Held by pointer, so that a run can be moved into JavaScript's keeping.
    std::unique_ptr<orv::LevelRun> run_;
    /// The last frame's text, its storage kept for the next one.
    std::unique_ptr<TextBuffer> frame_;
    /// The last frame's step record, written as JSON only when asked for: a game that
    /// animates from frames alone pays nothing for it.
    std::optional<StepRecord> last_step_;
};

} // namespace orv::wasm
