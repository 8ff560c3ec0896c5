#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <pybind11/pybind11.h>

#include "arguments.hpp"
#include "orv/agent_kinds.hpp"
#include "orv/agents.hpp"
#include "orv/environment.hpp"
#include "register.hpp"

namespace py = pybind11;

namespace orv::bindings {

namespace {

/// Registers `kind.add_method`, which places a new agent of that kind in the zone.
void def_agent_method(EnvironmentClass& environment, const AgentKind& kind) {
    switch (kind.goal) {
    case KindGoal::none:
        environment.def(
            kind.add_method,
            [make = kind.make](Environment& self, Text visual_id) {
                self.add_magician(make(std::move(visual_id.value)));
            },
            py::arg("visual_id"));
        return;
    case KindGoal::target:
        environment.def(
            kind.add_method,
            [](Environment& self, Text visual_id, Number target) {
                self.add_magician(
                    std::make_shared<EqualsGate>(std::move(visual_id.value), target.value));
            },
            py::arg("visual_id"), py::arg("target"));
        return;
    case KindGoal::target_and_rule:
        environment.def(
            kind.add_method,
            [](Environment& self, Text visual_id, Number target, const Text& comparison_type) {
                self.add_magician(std::make_shared<InequalityGate>(
                    std::move(visual_id.value), target.value,
                    comparison_type_from_text(comparison_type.value)));
            },
            py::arg("visual_id"), py::arg("target"), py::arg("comparison_type"));
        return;
    }
}

} // namespace

void register_agent_methods(EnvironmentClass& environment) {
    std::vector<const AgentKind*> kinds = agent_kinds();
    std::sort(kinds.begin(), kinds.end(), [](const AgentKind* a, const AgentKind* b) {
        return a->method_order < b->method_order;
    });
    for (const AgentKind* kind : kinds) {
        def_agent_method(environment, *kind);
    }
}

} // namespace orv::bindings
