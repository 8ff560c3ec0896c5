#pragma once

#include <cstddef>
#include <memory>
#include <typeinfo>

#include <pybind11/pybind11.h>

#include "orv/environment.hpp"

namespace orv::bindings {

/// Type setup for every class of the module (passed to py::class_ as an extra):
/// - `__class__` assignment raises TypeError: every class of the module has the same object
///   layout, so Python would accept a swap and let methods run on the wrong C++ object;
/// - the class has its own `__new__`, which makes pickling at protocols 0 and 1 refuse with
///   "cannot pickle '<class>' object", as the other protocols do, instead of instantiating
///   the binding library's common base class.
pybind11::custom_type_setup guarded_type_setup();

/// Makes the binding library's common base class refuse, with TypeError, to be instantiated
/// (`Environment.__base__()`): it has no C++ type, and its allocation failure would abort.
void guard_base_class_instantiation();

namespace detail {

[[noreturn]] void refuse_uninitialised(const std::type_info& type);

template <class T>
void* refuse_uninitialised_instance(std::size_t) {
    refuse_uninitialised(typeid(T));
}

} // namespace detail

/// Makes any use of a `T` whose `__init__` never ran (`Environment.__new__(Environment)`)
/// raise TypeError "<class>.__init__() was not called". The binding library would otherwise
/// allocate raw memory for the missing value and run methods on it; it asks the type's
/// allocation hook first, which refuses here. Call right after registering the class.
template <class T>
void refuse_uninitialised_instances() {
    pybind11::detail::get_type_info(typeid(T))->operator_new =
        &detail::refuse_uninitialised_instance<T>;
}

/// The shared reference that the Python object of `zone` holds. Bound functions take zones
/// as `Environment&` and ask here instead of taking the shared reference as an argument: only
/// a plain reference gets the check of refuse_uninitialised_instances.
std::shared_ptr<Environment> held_zone(Environment& zone);

} // namespace orv::bindings
