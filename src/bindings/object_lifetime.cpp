#include "object_lifetime.hpp"

#include <exception>
#include <new>

namespace py = pybind11;

namespace orv::bindings {

namespace {

int set_attribute_but_class(PyObject* self, PyObject* name, PyObject* value) {
    if (PyUnicode_Check(name) && PyUnicode_CompareWithASCIIString(name, "__class__") == 0) {
        PyErr_SetString(PyExc_TypeError,
                        "__class__ assignment is not supported for orv_engine objects");
        return -1;
    }
    return PyObject_GenericSetAttr(self, name, value);
}

/// The binding library's instance creation, which throws C++ exceptions through Python's C
/// interface (for its base class, or when memory runs out): they become Python exceptions.
PyObject* new_instance(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    try {
        return py::detail::pybind11_object_new(type, args, kwargs);
    } catch (const std::bad_alloc&) {
        return PyErr_NoMemory();
    } catch (const std::exception&) {
        PyErr_Format(PyExc_TypeError, "cannot create '%s' instances", type->tp_name);
        return nullptr;
    }
}

} // namespace

py::custom_type_setup guarded_type_setup() {
    return py::custom_type_setup([](PyHeapTypeObject* heap_type) {
        // Set before the type is readied, so that Python records both in the class's
        // dictionary (subclasses and pickle's copyreg look them up there).
        heap_type->ht_type.tp_setattro = &set_attribute_but_class;
        heap_type->ht_type.tp_new = &new_instance;
    });
}

void guard_base_class_instantiation() {
    auto* base = reinterpret_cast<PyTypeObject*>(py::detail::get_internals().instance_base);
    base->tp_new = &new_instance;
    PyType_Modified(base);
}

std::shared_ptr<Environment> held_zone(Environment& zone) {
    // The zone's Python object is found by address; its holder is that shared reference.
    return py::cast(&zone, py::return_value_policy::reference)
        .cast<std::shared_ptr<Environment>>();
}

namespace detail {

void refuse_uninitialised(const std::type_info& type) {
    const py::handle cls(reinterpret_cast<PyObject*>(py::detail::get_type_info(type)->type));
    throw py::type_error(py::str("{}.__init__() was not called")
                             .format(cls.attr("__name__"))
                             .cast<std::string>());
}

} // namespace detail

} // namespace orv::bindings
