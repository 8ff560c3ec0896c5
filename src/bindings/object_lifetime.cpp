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

PyObject* new_instance(PyTypeObject* type, PyObject* /*args*/, PyObject* /*kwargs*/) {
    return detail::allocate_instance(type);
}

/// Whether the binding library's cache of the classes behind `type` is filled. Filling it for a
/// new Python subclass allocates; a failure part way would leave an entry that lists no class,
/// and every later instance of the subclass would be refused, so such an entry is taken out.
bool cache_type_info(PyTypeObject* type) {
    auto& cache = py::detail::get_internals().registered_types_py;
    if (cache.find(type) != cache.end()) {
        return true;
    }
    try {
        py::detail::all_type_info(type);
        return true;
    } catch (py::error_already_set& error) {
        cache.erase(type);
        error.restore();
    } catch (...) {
        cache.erase(type);
        PyErr_NoMemory();
    }
    return false;
}

/// Frees an instance whose layout could not be made: the binding library's deallocation would
/// read that layout.
void discard_unfilled(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    if (PyType_IS_GC(type)) {
        PyObject_GC_UnTrack(self);
    }
    type->tp_free(self);
    Py_DECREF(type); // the instance's reference to its heap type
}

} // namespace

namespace detail {

PyObject* allocate_instance(PyTypeObject* type) noexcept {
    if (!cache_type_info(type)) {
        return nullptr;
    }
    PyObject* self = type->tp_alloc(type, 0);
    if (self == nullptr) {
        return nullptr;
    }
    try {
        reinterpret_cast<py::detail::instance*>(self)->allocate_layout();
        return self;
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (const std::exception&) {
        // Only the library's common base class has no class behind it.
        PyErr_Format(PyExc_TypeError, "cannot create '%s' instances", type->tp_name);
    }
    discard_unfilled(self);
    return nullptr;
}

} // namespace detail

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
