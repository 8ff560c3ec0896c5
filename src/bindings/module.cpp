#include <pybind11/pybind11.h>

#include "register.hpp"

PYBIND11_MODULE(orv_engine, module, pybind11::multiple_interpreters::not_supported()) {
    module.doc() = "Brindlewick Engine Python Bindings";
    orv::bindings::register_charge(module);
    orv::bindings::register_environment(module);
    orv::bindings::register_sequencer(module);
}
