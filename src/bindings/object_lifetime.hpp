#pragma once

#include <cstddef>
#include <memory>
#include <typeinfo>
#include <utility>

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

/// A new, empty instance of `type` (value and holder still to come), or null with the Python
/// error set. The binding library's own creation would dereference a failed allocation.
PyObject* allocate_instance(PyTypeObject* type) noexcept;

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

/// Gives the Python object being initialised (`v_h`) its value, held by `holder`. The binding
/// library sets the value first and then registers it, which allocates: should that fail, the
/// object would be left holding a value without a holder, freed once more when it goes. Here
/// the registration comes first, and what follows cannot fail, so a failure changes nothing.
template <class Holder>
void adopt_value(pybind11::detail::value_and_holder& v_h, Holder holder) {
    auto* value = holder.get();
    pybind11::detail::register_instance(v_h.inst, value, v_h.type);
    v_h.set_instance_registered();
    v_h.value_ptr() = value;
    new (std::addressof(v_h.holder<Holder>())) Holder(std::move(holder));
    v_h.set_holder_constructed();
}

/// A new Python object of the class bound to the held type, holding `holder`: the way values
/// made by a call go back to Python when memory may run out (see adopt_value).
template <class Holder>
pybind11::object new_python_object(Holder holder) {
    using Value = typename Holder::element_type;
    const pybind11::detail::type_info* info = pybind11::detail::get_type_info(typeid(Value));
    auto self = pybind11::reinterpret_steal<pybind11::object>(
        detail::allocate_instance(info->type));
    if (!self) {
        throw pybind11::error_already_set();
    }
    auto* instance = reinterpret_cast<pybind11::detail::instance*>(self.ptr());
    pybind11::detail::value_and_holder v_h = instance->get_value_and_holder(info);
    adopt_value(v_h, std::move(holder));
    return self;
}

/// Registers `__init__` as `make(args...)`, which returns the holder of the new value; the
/// object adopts it as adopt_value says. `make` is a plain function (`+[](...) {...}`).
template <class Class, class Holder, class... Args, class... Extra>
void def_constructor(Class& cls, Holder (*make)(Args...), const Extra&... extra) {
    cls.def(
        "__init__",
        [make](pybind11::detail::value_and_holder& v_h, Args... args) {
            adopt_value(v_h, make(std::forward<Args>(args)...));
        },
        pybind11::detail::is_new_style_constructor(), extra...);
}

/// The shared reference that the Python object of `zone` holds. Bound functions take zones
/// as `Environment&` and ask here instead of taking the shared reference as an argument: only
/// a plain reference gets the check of refuse_uninitialised_instances.
std::shared_ptr<Environment> held_zone(Environment& zone);

} // namespace orv::bindings
