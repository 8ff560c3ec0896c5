#pragma once

#include <utility>

#include <pybind11/pybind11.h>

namespace orv::bindings {

/// A read-write attribute computed by a getter and a setter, shown in signatures exactly like
/// an attribute bound directly to a data member ("self" first, then "arg0").
template <class Class, class Getter, class Setter>
void def_attribute(Class& cls, const char* name, Getter&& getter, Setter&& setter) {
    cls.def_property(name,
                     pybind11::cpp_function(std::forward<Getter>(getter), pybind11::is_method(cls)),
                     pybind11::cpp_function(std::forward<Setter>(setter), pybind11::is_method(cls)));
}

} // namespace orv::bindings
