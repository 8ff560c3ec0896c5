// The reasons the agent kinds give for not casting, as the spells themselves state them.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "orv/agents.hpp"
#include "register_native.hpp"

namespace py = pybind11;

namespace orv::native {

namespace {

/// A new agent of one kind; gates take the target and the rule text, the others ignore them.
using MakeAgent =
    std::function<std::shared_ptr<MagicianAgent>(double target, const std::string& rule)>;

template <class Agent> std::pair<std::string, MakeAgent> plain_kind() {
    Agent sample("");
    return {sample.name, [](double, const std::string&) { return std::make_shared<Agent>(""); }};
}

/// Every kind by its display name, the name frames and level files use.
const std::map<std::string, MakeAgent>& kinds() {
    static const std::map<std::string, MakeAgent> table = [] {
        std::map<std::string, MakeAgent> made{
            plain_kind<PlusMagician>(),    plain_kind<MinusMagician>(),
            plain_kind<MultiplyMagician>(), plain_kind<DivideMagician>(),
            plain_kind<ModuloMagician>(),  plain_kind<PowerSorcerer>(),
            plain_kind<RootMagician>(),    plain_kind<LogMagician>(),
            plain_kind<FactorialMagician>(), plain_kind<AbsMagician>(),
            plain_kind<Chronomancer>()};
        made.emplace("Equals Gate", [](double target, const std::string&) {
            return std::make_shared<EqualsGate>("", target);
        });
        made.emplace("The Judge", [](double target, const std::string& rule) {
            return std::make_shared<InequalityGate>("", target, comparison_type_from_text(rule));
        });
        return made;
    }();
    return table;
}

std::shared_ptr<MagicianAgent> agent_of_kind(const std::string& kind, double target,
                                             const std::string& rule) {
    const auto found = kinds().find(kind);
    if (found == kinds().end()) {
        throw py::value_error("unknown agent kind \"" + kind + "\"");
    }
    return found->second(target, rule);
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

std::string decline_reason(const std::string& kind,
                           const std::vector<std::pair<double, std::string>>& charges,
                           double target, const std::string& rule) {
    std::vector<Charge> list;
    list.reserve(charges.size());
    for (const auto& [magnitude, polarity] : charges) {
        list.emplace_back(magnitude, polarity_of(polarity), "");
    }
    return agent_of_kind(kind, target, rule)->decline_reason(list);
}

std::map<std::string, std::vector<std::string>> decline_reasons() {
    std::map<std::string, std::vector<std::string>> reasons;
    for (const auto& [name, make] : kinds()) {
        reasons.emplace(name, make(0.0, "<")->decline_reasons());
    }
    return reasons;
}

} // namespace

void register_rules(py::module_& module) {
    module.def("decline_reason", &decline_reason, py::arg("kind"), py::arg("charges"),
               py::arg("target") = 0.0, py::arg("rule") = "<");
    module.def("decline_reasons", &decline_reasons);
}

} // namespace orv::native
