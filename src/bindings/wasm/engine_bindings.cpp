// The raw bindings of the browser build: each returns a value or the Error its failure
// becomes (js_results.hpp). api.js builds the module's documented face on them.
#include <emscripten/bind.h>

#include <string>

#include "js_results.hpp"
#include "level_run.hpp"
#include "orv/agent_kinds.hpp"
#include "orv/attempt.hpp"
#include "orv/hint.hpp"
#include "orv/level_file.hpp"
#include "orv/puzzle.hpp"
#include "orv/readable_number.hpp"
#include "solve_options.hpp"

namespace orv::wasm {

namespace {

using emscripten::val;

/// A level file's tree, refused as the package's loader refuses it.
std::shared_ptr<Environment> level_of(const std::string& level_text) {
    LevelFile file = read_level_file(level_text);
    check_level_extras(file.extras, *file.top);
    return file.top;
}

val start_level(const std::string& level_text) {
    return guarded([&] { return val(LevelRun(level_of(level_text))); });
}

val start_puzzle(const std::string& puzzle_text, const std::string& placement_json) {
    return guarded([&] {
        const Puzzle puzzle = read_puzzle(puzzle_text);
        const HandPlacement placement =
            placement_from_json(nlohmann::json::parse(placement_json));
        return val(LevelRun(place_hand(puzzle, placement)));
    });
}

/// A number as the narration writes it (six significant digits), for pages that show numbers.
std::string readable(double value) { return readable_number(value); }

std::string kinds() { return agent_kinds_json().dump(); }

val solve(const std::string& puzzle_text, const std::string& options_json) {
    return guarded([&] {
        const SolveOptions options = solve_options_from_json(options_json);
        return val(solve_puzzle(read_puzzle(puzzle_text), options).dump());
    });
}

/// The player's placement replayed move by move, refused as orv.Attempt refuses a move.
Attempt attempt_of(const std::string& puzzle_text, const std::string& placement_json) {
    return attempt_from_placement(read_puzzle(puzzle_text),
                                  placement_from_json(nlohmann::json::parse(placement_json)));
}

val check_placement(const std::string& puzzle_text, const std::string& placement_json) {
    return guarded([&] {
        attempt_of(puzzle_text, placement_json).check_playable();
        return val::undefined();
    });
}

val hint(const std::string& puzzle_text, const std::string& placement_json,
         const std::string& options_json) {
    return guarded([&] {
        const std::uint64_t max_placements = hint_max_placements(options_json);
        return val(
            hint_json(hint_for(attempt_of(puzzle_text, placement_json), max_placements)).dump());
    });
}

} // namespace

} // namespace orv::wasm

EMSCRIPTEN_BINDINGS(orv_engine) {
    using orv::wasm::LevelRun;
    emscripten::class_<LevelRun>("RawLevelRun")
        .function("nextFrame", &LevelRun::next_frame)
        .function("lastStep", &LevelRun::last_step)
        .function("outcome", &LevelRun::outcome)
        .function("zoneTotals", &LevelRun::zone_totals)
        .function("levelText", &LevelRun::level_text)
        .property("isFinished", &LevelRun::is_finished)
        .property("currentFrame", &LevelRun::current_frame);
    emscripten::function("rawStartLevel", &orv::wasm::start_level);
    emscripten::function("rawStartPuzzle", &orv::wasm::start_puzzle);
    emscripten::function("rawSolve", &orv::wasm::solve);
    emscripten::function("rawKinds", &orv::wasm::kinds);
    emscripten::function("rawCheckPlacement", &orv::wasm::check_placement);
    emscripten::function("rawHint", &orv::wasm::hint);
    emscripten::function("rawReadableNumber", &orv::wasm::readable);
}
