#include "allocation_guards.hpp"

#include <cstddef>
#include <exception>
#include <new>
#include <string_view>

namespace py = pybind11;

namespace orv::bindings {

namespace {

using Dispatch = PyObject* (*)(PyObject*, PyObject* const*, std::size_t, PyObject*);

/// Function pointers change type through this, as Python's own method tables do.
template <class To, class From>
To function_cast(From function) {
    return reinterpret_cast<To>(reinterpret_cast<void (*)()>(function));
}

Dispatch library_dispatch = nullptr;
ternaryfunc library_metaclass_call = nullptr;
void* library_create_module = nullptr;

/// Sets the Python error for a C++ exception that reached an entry point.
void set_error_for(std::exception_ptr thrown) {
    try {
        std::rethrow_exception(thrown);
    } catch (py::error_already_set& error) {
        error.restore();
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (const std::exception& error) {
        PyErr_SetString(PyExc_RuntimeError, error.what());
    } catch (...) {
        PyErr_SetString(PyExc_RuntimeError, "Caught an unknown exception!");
    }
}

/// Whether the pending error is the library's RuntimeError for a Python container it could not
/// allocate. Reads the message without allocating: the library's messages are ASCII.
bool is_library_allocation_failure() {
    if (!PyErr_ExceptionMatches(PyExc_RuntimeError)) {
        return false;
    }
    constexpr std::string_view kPrefix = "Could not allocate ";
    PyObject* raised = PyErr_GetRaisedException();
    bool failed_allocation = false;
    if (Py_IS_TYPE(raised, reinterpret_cast<PyTypeObject*>(PyExc_RuntimeError))) {
        PyObject* args = PyException_GetArgs(raised);
        PyObject* message = PyTuple_GET_SIZE(args) == 1 ? PyTuple_GET_ITEM(args, 0) : nullptr;
        if (message != nullptr && PyUnicode_Check(message) && PyUnicode_IS_ASCII(message)) {
            const std::string_view text(static_cast<const char*>(PyUnicode_DATA(message)),
                                        static_cast<std::size_t>(PyUnicode_GET_LENGTH(message)));
            failed_allocation = text.substr(0, kPrefix.size()) == kPrefix;
        }
        Py_DECREF(args);
    }
    PyErr_SetRaisedException(raised);
    return failed_allocation;
}

PyObject* guarded_dispatch(PyObject* self, PyObject* const* args, std::size_t nargsf,
                           PyObject* kwnames) {
    PyObject* result = nullptr;
    try {
        result = library_dispatch(self, args, nargsf, kwnames);
    } catch (...) {
        set_error_for(std::current_exception());
        return nullptr;
    }
    if (result == nullptr && is_library_allocation_failure()) {
        PyErr_NoMemory();
    }
    return result;
}

PyObject* guarded_metaclass_call(PyObject* type, PyObject* args, PyObject* kwargs) {
    try {
        return library_metaclass_call(type, args, kwargs);
    } catch (...) {
        set_error_for(std::current_exception());
        return nullptr;
    }
}

PyObject* guarded_create_module(PyObject* module_origin, PyModuleDef* definition) {
    try {
        return reinterpret_cast<PyObject* (*)(PyObject*, PyModuleDef*)>(library_create_module)(
            module_origin, definition);
    } catch (...) {
        set_error_for(std::current_exception());
    }
    return nullptr;
}

/// The bound functions that `attribute` of a class stands for: a method, a property's getter
/// and setter, a static function.
void guard_functions_of(py::handle attribute) {
    if (PyInstanceMethod_Check(attribute.ptr())) {
        attribute = PyInstanceMethod_GET_FUNCTION(attribute.ptr());
    }
    if (PyCFunction_Check(attribute.ptr())) {
        PyMethodDef* definition = reinterpret_cast<PyCFunctionObject*>(attribute.ptr())->m_ml;
        if (function_cast<Dispatch>(definition->ml_meth) == library_dispatch) {
            definition->ml_meth = function_cast<PyCFunction>(&guarded_dispatch);
        }
        return;
    }
    if (PyObject_TypeCheck(attribute.ptr(), &PyProperty_Type)) {
        guard_functions_of(attribute.attr("fget"));
        guard_functions_of(attribute.attr("fset"));
    }
}

void guard_class(py::handle cls) {
    const py::dict attributes = py::reinterpret_borrow<py::dict>(
        reinterpret_cast<PyTypeObject*>(cls.ptr())->tp_dict);
    for (const auto item : attributes) {
        guard_functions_of(item.second);
    }
}

void guard_module_creation(py::module_& module) {
    PyModuleDef* definition = PyModule_GetDef(module.ptr());
    void* guarded = function_cast<void*>(&guarded_create_module);
    for (PyModuleDef_Slot* slot = definition->m_slots; slot->slot != 0; ++slot) {
        if (slot->slot == Py_mod_create && slot->value != guarded) {
            library_create_module = slot->value;
            slot->value = guarded;
        }
    }
}

} // namespace

void guard_allocations(py::module_& module) {
    // Every function of the module goes through the same dispatcher; one of them names it.
    const py::handle any_function = PyInstanceMethod_GET_FUNCTION(
        module.attr("Environment").attr("__dict__")["to_json"].ptr());
    library_dispatch = function_cast<Dispatch>(
        reinterpret_cast<PyCFunctionObject*>(any_function.ptr())->m_ml->ml_meth);
    for (const char* name : {"ChargePolarity", "Charge", "Environment", "NarrativeSequencer"}) {
        guard_class(module.attr(name));
    }
    auto* metaclass = Py_TYPE(module.attr("Environment").ptr());
    if (metaclass->tp_call != &guarded_metaclass_call) {
        library_metaclass_call = metaclass->tp_call;
        metaclass->tp_call = &guarded_metaclass_call;
    }
    guard_module_creation(module);
}

} // namespace orv::bindings
