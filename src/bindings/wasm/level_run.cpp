#include "level_run.hpp"

#include <utility>

#include <nlohmann/json.hpp>

#include "js_results.hpp"

namespace orv::wasm {

LevelRun::LevelRun(std::shared_ptr<Environment> top)
    : run_(std::make_unique<orv::LevelRun>(std::move(top))),
      frame_(std::make_unique<TextBuffer>()) {}

emscripten::val LevelRun::next_frame() {
    return guarded([&] {
        last_step_.reset();
        frame_->clear();
        JsonTextWriter writer(*frame_);
        StepRecord record;
        run_->write_next_frame(writer, record);
        last_step_ = std::move(record);
        const auto* bytes = reinterpret_cast<const unsigned char*>(frame_->data());
        return emscripten::val(emscripten::typed_memory_view(frame_->size(), bytes));
    });
}

emscripten::val LevelRun::last_step() const {
    return last_step_ ? emscripten::val(last_step_->to_json().dump()) : emscripten::val::null();
}

emscripten::val LevelRun::outcome() const {
    if (!run_->has_outcome()) {
        return emscripten::val::null();
    }
    return guarded([&] { return emscripten::val(run_->outcome().to_json().dump()); });
}

std::string LevelRun::level_text() const {
    TextBuffer text;
    JsonTextWriter writer(text);
    run_->write_level(writer);
    return text.str();
}

emscripten::val LevelRun::zone_totals() const {
    emscripten::val totals = emscripten::val::array();
    for (const orv::LevelRun::ZoneTotal& zone : run_->zone_totals()) {
        emscripten::val pair = emscripten::val::array();
        pair.call<void>("push", std::string(zone.id));
        pair.call<void>("push",
                        zone.total ? emscripten::val(*zone.total) : emscripten::val::null());
        totals.call<void>("push", pair);
    }
    return totals;
}

} // namespace orv::wasm
