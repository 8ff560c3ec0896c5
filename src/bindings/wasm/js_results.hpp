#pragma once

// What the raw bindings hand to JavaScript: a value, or the Error that a C++ exception
// becomes. No exception, C++ or JavaScript, ever crosses the boundary: a JavaScript exception
// thrown through the engine's frames would skip their destructors (leaking what they hold),
// and a C++ one reaches JavaScript as a bare number. The module's JavaScript face (api.js)
// throws the Errors it receives.
#include <emscripten/val.h>

namespace orv::wasm {

/// A JavaScript Error carrying what the current exception says; for LevelProblems, also
/// `problems`, a list of {place, problem}. Call only inside a catch block.
emscripten::val current_exception_as_error();

/// `call()`, or the Error its exception becomes.
template <class Call>
emscripten::val guarded(Call&& call) {
    try {
        return call();
    } catch (...) {
        return current_exception_as_error();
    }
}

} // namespace orv::wasm
