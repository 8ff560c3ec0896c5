// The reasons the agent kinds give for not casting, as the spells themselves state them.
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <nlohmann/json.hpp>

#include "orv/agent_kinds.hpp"
#include "orv/agents.hpp"
#include "orv/environment.hpp"
#include "orv/readable_number.hpp"
#include "register_native.hpp"

namespace py = pybind11;

namespace orv::native {

namespace {

/// An agent of the kind named `kind`; a gate aims at `target` and an InequalityGate compares
/// by `rule`, as add_inequality_gate reads it.
std::shared_ptr<MagicianAgent> agent_of_kind(const std::string& kind, double target,
                                             const std::string& rule) {
    std::shared_ptr<MagicianAgent> agent = make_agent(kind, std::string());
    if (agent == nullptr) {
        throw py::value_error("unknown agent kind \"" + kind + "\"");
    }
    if (auto* gate = dynamic_cast<GoalGate*>(agent.get())) {
        gate->target_value = target;
    }
    if (auto* judge = dynamic_cast<InequalityGate*>(agent.get())) {
        judge->comparison_type = comparison_type_from_text(rule);
    }
    return agent;
}

ChargePolarity polarity_of(const std::string& text) {
    for (ChargePolarity polarity :
         {ChargePolarity::POSITIVE, ChargePolarity::NEGATIVE, ChargePolarity::NEUTRAL}) {
        if (text == polarity_text(polarity)) {
            return polarity;
        }
    }
    throw py::value_error("unknown polarity \"" + text +
                          "\" (expected \"positive\", \"negative\" or \"neutral\")");
}

std::vector<Charge> charges_of(const std::vector<std::pair<double, std::string>>& charges) {
    std::vector<Charge> list;
    list.reserve(charges.size());
    for (const auto& [magnitude, polarity] : charges) {
        list.emplace_back(magnitude, polarity_of(polarity), "");
    }
    return list;
}

std::string decline_reason(const std::string& kind,
                           const std::vector<std::pair<double, std::string>>& charges,
                           double target, const std::string& rule) {
    return agent_of_kind(kind, target, rule)->decline_reason(charges_of(charges));
}

std::map<std::string, std::vector<std::string>> decline_reasons() {
    std::map<std::string, std::vector<std::string>> reasons;
    for (const AgentKind* kind : agent_kinds()) {
        reasons.emplace(kind->name, kind->make(std::string())->decline_reasons());
    }
    return reasons;
}

/// A JSON value of the engine as the Python objects json.loads makes of its text.
py::object python_value(const nlohmann::json& value) {
    return py::module_::import("json").attr("loads")(value.dump());
}


} // namespace

void register_rules(py::module_& module) {
    module.def("decline_reason", &decline_reason, py::arg("kind"), py::arg("charges"),
               py::arg("target") = 0.0, py::arg("rule") = "<");
    module.def("decline_reasons", &decline_reasons);
    module.def("agent_kinds", [] { return python_value(agent_kinds_json()); });
    module.def("rule_constants", [] { return python_value(rule_constants_json()); });
    module.def("level_fields", [] { return python_value(level_fields_json()); });
    module.def("readable_number", &readable_number, py::arg("value"),
               py::arg("signed_zero") = false);
    module.def("exact_number", &exact_number, py::arg("value"));
    module.def(
        "signed_total",
        [](const std::vector<std::pair<double, std::string>>& charges) {
            return signed_total(charges_of(charges));
        },
        py::arg("charges"));
}

} // namespace orv::native
