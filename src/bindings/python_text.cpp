#include "python_text.hpp"

#include <cstring>

namespace py = pybind11;

namespace orv::bindings {

namespace {

/// Above this the buffer is not kept for the next call, so that one huge level does not hold
/// its memory for the rest of the game.
constexpr std::size_t kLargestKeptBuffer = std::size_t{64} << 20;

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
