#pragma once

#include <pybind11/pybind11.h>

namespace orv::native {

// The package's own module, orv._native: what the package needs at C++ speed beyond the
// public surface of orv_engine. Each part registers itself here.

/// The reasons each agent kind gives for not casting, read from the spells themselves.
void register_rules(pybind11::module_& module);
/// Playing a level with a record of what each step did.
void register_play(pybind11::module_& module);
/// The engine's log, log10 and pow (include/orv/math.hpp), as the spells compute them.
void register_math(pybind11::module_& module);
/// The search of a puzzle's placements.
void register_solver(pybind11::module_& module);
/// Puzzle files, the placement of a hand, and the course of a search over sizes.
void register_puzzles(pybind11::module_& module);
/// A player's attempt at a puzzle: moves, refusals and hints.
void register_attempt(pybind11::module_& module);

} // namespace orv::native
