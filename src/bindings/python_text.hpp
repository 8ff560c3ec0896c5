#pragma once

#include <cstddef>
#include <memory>
#include <utility>

#include <pybind11/pybind11.h>

#include "orv/json_text.hpp"

namespace orv::bindings {

/// The buffer a text is written into before it becomes a Python str: one shared buffer, kept
/// from call to call, because a fresh buffer for each frame would be fresh memory, and the
/// page faults of touching it cost more than writing the text. Users hold the interpreter
/// lock; a text started while the shared buffer is busy (from a signal handler run during a
/// long write) gets a buffer of its own. On release, a shared buffer that one very large text
/// has left far too big is freed, whether or not the text was finished.
class TextBufferLease {
public:
    TextBufferLease();
    ~TextBufferLease();
    TextBufferLease(const TextBufferLease&) = delete;
    TextBufferLease& operator=(const TextBufferLease&) = delete;

    TextBuffer& buffer() { return *buffer_; }

private:
    std::unique_ptr<TextBuffer> own_;
    TextBuffer* buffer_;
};

/// The str of the text in `buffer`; `non_ascii` tells whether bytes above 0x7F were written.
pybind11::str finish_python_text(const TextBuffer& buffer, bool non_ascii);

/// For a large text: a new str the size of the previous tree text (when that was large), whose
/// memory the buffer writes into, so that an ASCII text needs no copy into its str at the end.
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
    TextBufferLease lease;
    JsonTextWriter out(lease.buffer());
    std::forward<Write>(write)(out);
    return finish_python_text(lease.buffer(), out.wrote_non_ascii());
}

/// write_python_text for the texts of zone trees and frames, which may be large and tend to be
/// about as large as the previous one: see DirectText.
template <class Write>
pybind11::str write_tree_python_text(Write&& write) {
    TextBufferLease lease;
    DirectText direct(lease.buffer());
    JsonTextWriter out(lease.buffer());
    std::forward<Write>(write)(out);
    return direct.finish(out.wrote_non_ascii());
}

} // namespace orv::bindings
