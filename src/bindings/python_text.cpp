#include "python_text.hpp"

namespace py = pybind11;

namespace orv::bindings {

void PythonTextBuffer::grow(std::size_t capacity) {
    const auto length = static_cast<Py_ssize_t>(capacity);
    if (text_ == nullptr) {
        text_ = PyUnicode_New(length, 127);
        if (text_ == nullptr) {
            throw py::error_already_set();
        }
    } else if (PyUnicode_Resize(&text_, length) != 0) {
        throw py::error_already_set(); // text_ is still the old, valid object
    }
    set_storage(static_cast<char*>(PyUnicode_DATA(text_)), capacity);
}

py::str PythonTextBuffer::finish(bool non_ascii) {
    if (text_ == nullptr) {
        return py::str("");
    }
    if (non_ascii) {
        // The writer checked every string as UTF-8 already, so strict decoding cannot fail
        // but for lack of memory.
        PyObject* decoded = PyUnicode_DecodeUTF8(data(), static_cast<Py_ssize_t>(size()), "strict");
        if (decoded == nullptr) {
            throw py::error_already_set();
        }
        return py::reinterpret_steal<py::str>(decoded);
    }
    if (PyUnicode_Resize(&text_, static_cast<Py_ssize_t>(size())) != 0) {
        throw py::error_already_set();
    }
    return py::reinterpret_steal<py::str>(std::exchange(text_, nullptr));
}

} // namespace orv::bindings
