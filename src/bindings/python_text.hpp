#pragma once

#include <utility>

#include <pybind11/pybind11.h>

#include "orv/json_text.hpp"

namespace orv::bindings {

/// A TextBuffer that is a Python str being filled in place, so that a frame's text is written
/// once, straight into the object handed to Python, with no second copy. The str is created
/// as plain ASCII and shrunk to its length at the end; text that turned out to hold UTF-8 is
/// decoded into a proper str instead.
class PythonTextBuffer final : public TextBuffer {
public:
    PythonTextBuffer() = default;
    ~PythonTextBuffer() override { Py_XDECREF(text_); }

    /// The finished str; `non_ascii` tells whether bytes above 0x7F were written.
    pybind11::str finish(bool non_ascii);

protected:
    void grow(std::size_t capacity) override;

private:
    PyObject* text_ = nullptr; // owned; never seen by Python before finish
};

/// Runs `write(JsonTextWriter&)` over a fresh Python str and returns that str.
template <class Write>
pybind11::str write_python_text(Write&& write) {
    PythonTextBuffer buffer;
    JsonTextWriter out(buffer);
    std::forward<Write>(write)(out);
    return buffer.finish(out.wrote_non_ascii());
}

} // namespace orv::bindings
