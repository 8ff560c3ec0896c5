#pragma once

#include <cstddef>
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

/// For a large text: a new str, about the size of the previous large text, whose memory the
/// shared buffer writes into, so that an ASCII text needs no copy into its str at the end.
/// Returns the buffer to its own storage when it goes, whatever happened.
class DirectText {
public:
    explicit DirectText(TextBuffer& buffer);
    ~DirectText() { buffer_.stop_borrowing(); }
    DirectText(const DirectText&) = delete;
    DirectText& operator=(const DirectText&) = delete;

    /// The str of what was written (see finish_python_text).
    pybind11::str finish(bool non_ascii);

private:
    TextBuffer& buffer_;
    pybind11::object text_;
};

/// Runs `write(JsonTextWriter&)` and returns what it wrote as a Python str.
template <class Write>
pybind11::str write_python_text(Write&& write) {
    TextBuffer& buffer = shared_text_buffer();
    buffer.clear();
    DirectText direct(buffer);
    JsonTextWriter out(buffer);
    std::forward<Write>(write)(out);
    return direct.finish(out.wrote_non_ascii());
}

} // namespace orv::bindings
