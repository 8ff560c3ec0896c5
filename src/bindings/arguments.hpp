#pragma once

#include <string>

#include <pybind11/pybind11.h>

namespace orv::bindings {

// Argument types for `double` and text parameters. The binding library's conversions clear the
// error of a failed conversion and report the arguments as incompatible (TypeError), also when
// only memory ran out: converting an int to a double makes a float, and a str that is not
// ASCII makes its UTF-8 copy. These raise the MemoryError instead, and otherwise convert and
// show in signatures exactly as `double` and `std::string` do.

/// A `double` argument.
struct Number {
    double value = 0.0;
};

/// A text argument: a str as UTF-8, or bytes as they are.
struct Text {
    std::string value;
};

} // namespace orv::bindings

namespace pybind11::detail {

template <>
struct type_caster<orv::bindings::Number> {
    PYBIND11_TYPE_CASTER(orv::bindings::Number, make_caster<double>::name);

    bool load(handle source, bool convert) {
        if (convert && !PyFloat_Check(source.ptr())) {
            const double converted = PyFloat_AsDouble(source.ptr());
            if (converted != -1.0 || PyErr_Occurred() == nullptr) {
                value.value = converted;
                return true;
            }
            if (PyErr_ExceptionMatches(PyExc_MemoryError)) {
                throw error_already_set();
            }
            PyErr_Clear(); // the library decides what else converts
        }
        make_caster<double> library;
        if (!library.load(source, convert)) {
            return false;
        }
        value.value = cast_op<double>(library);
        return true;
    }
};

template <>
struct type_caster<orv::bindings::Text> {
    PYBIND11_TYPE_CASTER(orv::bindings::Text, make_caster<std::string>::name);

    bool load(handle source, bool convert) {
        if (PyUnicode_Check(source.ptr()) &&
            PyUnicode_AsUTF8AndSize(source.ptr(), nullptr) == nullptr) {
            if (PyErr_ExceptionMatches(PyExc_MemoryError)) {
                throw error_already_set();
            }
            PyErr_Clear(); // lone surrogates: the library refuses them
        }
        make_caster<std::string> library;
        if (!library.load(source, convert)) {
            return false;
        }
        value.value = cast_op<std::string&&>(std::move(library));
        return true;
    }
};

} // namespace pybind11::detail
