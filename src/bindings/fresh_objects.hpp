#pragma once

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

#include <pybind11/pybind11.h>

#include "object_lifetime.hpp"

namespace orv::bindings {

/// A value that a call returns to Python as a new object of its bound class. The binding
/// library's own conversion would dereference the object it failed to allocate when memory runs
/// out; these are made by new_python_object, which raises MemoryError instead.
template <class T>
struct Fresh {
    T value;
};

/// Values returned as a Python list of new objects, each made as Fresh makes one.
template <class T>
struct FreshList {
    std::vector<T> items;
};

} // namespace orv::bindings

namespace pybind11::detail {

/// Shows the type as the bound class itself does.
template <class T>
struct type_caster<orv::bindings::Fresh<T>> {
    PYBIND11_TYPE_CASTER(orv::bindings::Fresh<T>, make_caster<T>::name);

    bool load(handle /*source*/, bool /*convert*/) { return false; }
    static handle cast(orv::bindings::Fresh<T> fresh, return_value_policy /*policy*/,
                       handle /*parent*/) {
        return orv::bindings::new_python_object(std::make_unique<T>(std::move(fresh.value)))
            .release();
    }
};

/// Shows the type as a list of the bound class does.
template <class T>
struct type_caster<orv::bindings::FreshList<T>> {
    PYBIND11_TYPE_CASTER(orv::bindings::FreshList<T>,
                         const_name("list[") + make_caster<T>::name + const_name("]"));

    bool load(handle /*source*/, bool /*convert*/) { return false; }
    static handle cast(orv::bindings::FreshList<T> fresh, return_value_policy /*policy*/,
                       handle /*parent*/) {
        std::vector<T>& items = fresh.items;
        auto list = reinterpret_steal<object>(PyList_New(static_cast<Py_ssize_t>(items.size())));
        if (!list) {
            throw error_already_set();
        }
        for (std::size_t index = 0; index < items.size(); ++index) {
            object item =
                orv::bindings::new_python_object(std::make_unique<T>(std::move(items[index])));
            PyList_SET_ITEM(list.ptr(), static_cast<Py_ssize_t>(index), item.release().ptr());
        }
        return list.release();
    }
};

} // namespace pybind11::detail
