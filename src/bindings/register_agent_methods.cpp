#include <memory>
#include <string>
#include <utility>

#include <pybind11/pybind11.h>

#include "arguments.hpp"
#include "orv/agents.hpp"
#include "orv/environment.hpp"
#include "register.hpp"

namespace py = pybind11;

namespace orv::bindings {

namespace {

/// Registers `add_<kind>(visual_id)`, which places a new agent of that kind in the zone.
template <class Agent>
void def_agent_method(EnvironmentClass& environment, const char* method_name) {
    environment.def(
        method_name,
        [](Environment& self, Text visual_id) {
            self.add_magician(std::make_shared<Agent>(std::move(visual_id.value)));
        },
        py::arg("visual_id"));
}

} // namespace

void register_agent_methods(EnvironmentClass& environment) {
    def_agent_method<PlusMagician>(environment, "add_plus_magician");
    def_agent_method<MinusMagician>(environment, "add_minus_magician");
    def_agent_method<MultiplyMagician>(environment, "add_multiply_magician");
    def_agent_method<DivideMagician>(environment, "add_divide_magician");
    def_agent_method<PowerSorcerer>(environment, "add_power_sorcerer");
    def_agent_method<RootMagician>(environment, "add_root_magician");
    def_agent_method<AbsMagician>(environment, "add_abs_magician");
    def_agent_method<FactorialMagician>(environment, "add_factorial_magician");
    def_agent_method<ModuloMagician>(environment, "add_modulo_magician");
    def_agent_method<LogMagician>(environment, "add_log_magician");
    def_agent_method<Chronomancer>(environment, "add_chronomancer");
    environment.def(
        "add_equals_gate",
        [](Environment& self, Text visual_id, Number target) {
            self.add_magician(
                std::make_shared<EqualsGate>(std::move(visual_id.value), target.value));
        },
        py::arg("visual_id"), py::arg("target"));
    environment.def(
        "add_inequality_gate",
        [](Environment& self, Text visual_id, Number target, const Text& comparison_type) {
            self.add_magician(std::make_shared<InequalityGate>(
                std::move(visual_id.value), target.value,
                comparison_type_from_text(comparison_type.value)));
        },
        py::arg("visual_id"), py::arg("target"), py::arg("comparison_type"));
}

} // namespace orv::bindings
