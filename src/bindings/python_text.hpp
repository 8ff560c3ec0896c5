#pragma once

#include <utility>

#include <pybind11/pybind11.h>

#include "orv/json_text.hpp"

namespace orv::bindings {

/// The buffer every text is written into before it becomes a Python str. Kept from call to
/// call: a fresh buffer for each frame would be fresh memory, and the page faults of touching
/// it cost more than writing the text. All users hold the interpreter lock and nothing they
/// call runs Python code, so one buffer serves the whole module.
TextBuffer& shared_text_buffer();

/// The str of the text in `buffer`; `non_ascii` tells whether bytes above 0x7F were written.
/// Shrinks the buffer afterwards when one very large text has left it far too big.
pybind11::str finish_python_text(TextBuffer& buffer, bool non_ascii);

/// Runs `write(JsonTextWriter&)` and returns what it wrote as a Python str.
template <class Write>
pybind11::str write_python_text(Write&& write) {
    TextBuffer& buffer = shared_text_buffer();
    buffer.clear();
    JsonTextWriter out(buffer);
    std::forward<Write>(write)(out);
    return finish_python_text(buffer, out.wrote_non_ascii());
}

} // namespace orv::bindings
