#include "orv/level_run.hpp"

#include <stdexcept>
#include <utility>

#include "orv/environment.hpp"
#include "orv/zone_walk.hpp"

namespace orv {

LevelRun::LevelRun(std::string_view level_text)
    : LevelRun(Environment::from_level_text(level_text)) {}

LevelRun::LevelRun(std::shared_ptr<Environment> top)
    : sequencer_(std::move(top)), tally_(*sequencer_.root_environment) {}

NarrativeSequencer::FrameOutcome LevelRun::step(StepRecord& record) {
    NarrativeSequencer::FrameOutcome frame = sequencer_.advance(&record);
    tally_.count(record);
    last_ = LastFrame{sequencer_.current_frame, frame.status, frame.message};
    return frame;
}

void LevelRun::write_next_frame(JsonTextWriter& out, StepRecord& record) {
    const NarrativeSequencer::FrameOutcome frame = step(record);
    sequencer_.write_response(out, frame.status, frame.message);
}

void LevelRun::finish() {
    while (!sequencer_.is_finished) {
        StepRecord record;
        step(record);
    }
}

RunOutcome LevelRun::outcome() const {
    if (!last_) {
        throw std::logic_error("a run has no outcome before its first frame");
    }
    return tally_.classify(*sequencer_.root_environment, *last_);
}

std::vector<LevelRun::ZoneTotal> LevelRun::zone_totals() const {
    std::vector<ZoneTotal> totals;
    const Environment& top = *sequencer_.root_environment;
    walk_zones(
        top,
        [&](const Environment& zone, const Environment*, std::size_t) {
            totals.push_back({zone.id, zone.charges.empty()
                                           ? std::nullopt
                                           : std::optional(signed_total(zone.charges))});
            return false;
        },
        SkipZone{});
    return totals;
}

void LevelRun::write_level(JsonTextWriter& out) const {
    sequencer_.root_environment->write_json(out);
}

} // namespace orv
