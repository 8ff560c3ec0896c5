#include "python_text.hpp"

#include <cstring>

namespace py = pybind11;

namespace orv::bindings {

namespace {

/// Above this the buffer is not kept for the next call, so that one huge level does not hold
/// its memory for the rest of the game.
constexpr std::size_t kLargestKeptBuffer = std::size_t{64} << 20;

/// Below this a text is copied from the buffer into its str: the copy is cheap, and a str
/// sized by guess would be mostly too large for the small texts of charges and agents.
constexpr std::size_t kSmallestDirectText = std::size_t{64} << 10;

/// The size of the last tree text when it had at least kSmallestDirectText bytes, else 0:
/// frames of one level change little from one to the next, so it predicts the next one.
std::size_t last_large_text = 0;

/// Room beyond the previous text: a frame index gaining a digit, a longer message.
constexpr std::size_t kDirectTextSlack = 64;

TextBuffer& shared_text_buffer() {
    static TextBuffer* buffer = new TextBuffer(); // lives as long as the process
    return *buffer;
}

bool shared_buffer_busy = false;

} // namespace

TextBufferLease::TextBufferLease() {
    if (shared_buffer_busy) {
        own_ = std::make_unique<TextBuffer>();
        buffer_ = own_.get();
        return;
    }
    shared_buffer_busy = true;
    buffer_ = &shared_text_buffer();
    buffer_->clear();
}

TextBufferLease::~TextBufferLease() {
    if (own_) {
        return;
    }
    if (buffer_->capacity() > kLargestKeptBuffer) {
        buffer_->release();
    }
    shared_buffer_busy = false;
}

DirectText::DirectText(TextBuffer& buffer) : buffer_(buffer) {
    if (last_large_text < kSmallestDirectText) {
        return;
    }
    // No generous slack: a str larger than the one just freed would not fit in the memory
    // that freeing left behind, and fresh memory costs a page fault per 4 KiB (more than the
    // copy saved). A text that outgrows it falls back to the copy.
    const std::size_t room = last_large_text + kDirectTextSlack;
    PyObject* text = PyUnicode_New(static_cast<Py_ssize_t>(room), 127);
    if (text == nullptr) {
        PyErr_Clear(); // the buffer's own storage serves instead
        return;
    }
    text_ = py::reinterpret_steal<py::object>(text);
    buffer_.borrow(static_cast<char*>(PyUnicode_DATA(text)), room);
}

py::str DirectText::finish(bool non_ascii) {
    const std::size_t size = buffer_.size();
    last_large_text = size >= kSmallestDirectText ? size : 0;
    if (!text_ || !buffer_.borrowed() || non_ascii) {
        // The text outgrew the str, or holds UTF-8 that must be decoded (still readable in the
        // borrowed memory, which text_ keeps alive until this returns).
        return finish_python_text(buffer_, non_ascii);
    }
    PyObject* text = text_.release().ptr();
    // Shrinks a str that nobody else has seen yet; on failure it stays ours, unchanged.
    if (PyUnicode_Resize(&text, static_cast<Py_ssize_t>(size)) != 0) {
        Py_DECREF(text);
        throw py::error_already_set();
    }
    return py::reinterpret_steal<py::str>(text);
}

py::str finish_python_text(const TextBuffer& buffer, bool non_ascii) {
    const auto length = static_cast<Py_ssize_t>(buffer.size());
    PyObject* text = nullptr;
    if (non_ascii) {
        // Every string was checked as UTF-8 while it was written, so strict decoding cannot
        // fail but for lack of memory.
        text = PyUnicode_DecodeUTF8(buffer.data(), length, "strict");
    } else {
        text = PyUnicode_New(length, 127);
        if (text != nullptr) {
            std::memcpy(PyUnicode_DATA(text), buffer.data(), buffer.size());
        }
    }
    if (text == nullptr) {
        throw py::error_already_set();
    }
    return py::reinterpret_steal<py::str>(text);
}

} // namespace orv::bindings
