#pragma once

#include <memory>

#include <pybind11/pybind11.h>

#include "orv/environment.hpp"

namespace orv::bindings {

using EnvironmentClass = pybind11::class_<Environment, std::shared_ptr<Environment>>;

void register_charge(pybind11::module_& module);
void register_environment(pybind11::module_& module);
/// The thirteen agent-placing methods, registered right after add_sub_environment.
void register_agent_methods(EnvironmentClass& environment);
void register_sequencer(pybind11::module_& module);

} // namespace orv::bindings
