#include <pybind11/pybind11.h>

#include "../signal_checks.hpp"
#include "register_native.hpp"

PYBIND11_MODULE(_native, module, pybind11::multiple_interpreters::not_supported()) {
    // Its own copy of the engine library, so its own interrupt hook.
    orv::bindings::install_signal_checks();
    orv::native::register_math(module);
    orv::native::register_rules(module);
    orv::native::register_play(module);
    orv::native::register_solver(module);
    orv::native::register_puzzles(module);
    orv::native::register_attempt(module);
}
