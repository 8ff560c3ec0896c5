#include <pybind11/pybind11.h>

#include "allocation_guards.hpp"
#include "object_lifetime.hpp"
#include "register.hpp"
#include "signal_checks.hpp"

PYBIND11_MODULE(orv_engine, module, pybind11::multiple_interpreters::not_supported()) {
    module.doc() = "Brindlewick Engine Python Bindings";
    orv::bindings::guard_base_class_instantiation();
    orv::bindings::install_signal_checks();
    orv::bindings::register_charge(module);
    orv::bindings::register_environment(module);
    orv::bindings::register_sequencer(module);
    orv::bindings::guard_allocations(module);
}
