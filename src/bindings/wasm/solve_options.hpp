#pragma once

#include <cstdint>
#include <string>

#include "orv/puzzle.hpp"

namespace orv::wasm {

/// The options of engine.solve, as JSON text: {maxPlacements, maxSolutions, allSizes}, each
/// optional (the search's defaults). std::invalid_argument names an unknown option or a
/// value of the wrong kind.
SolveOptions solve_options_from_json(const std::string& text);

/// The options of engine.hint, as JSON text: {maxPlacements}, optional (the search's default).
std::uint64_t hint_max_placements(const std::string& text);

} // namespace orv::wasm
