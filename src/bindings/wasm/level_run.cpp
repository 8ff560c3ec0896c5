#include "level_run.hpp"

#include <utility>

#include "js_results.hpp"

namespace orv::wasm {

LevelRun::LevelRun(std::shared_ptr<Environment> top)
    : top_(std::move(top)), sequencer_(std::make_unique<NarrativeSequencer>(top_)),
      frame_(std::make_unique<TextBuffer>()) {}

emscripten::val LevelRun::next_frame() {
    return guarded([&] {
        frame_->clear();
        JsonTextWriter writer(*frame_);
        sequencer_->write_next_frame(writer);
        const auto* bytes = reinterpret_cast<const unsigned char*>(frame_->data());
        return emscripten::val(emscripten::typed_memory_view(frame_->size(), bytes));
    });
}

} // namespace orv::wasm
