#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "arguments.hpp"
#include "charge_handle.hpp"
#include "charge_sequence.hpp"
#include "fresh_objects.hpp"
#include "orv/environment.hpp"
#include "orv/json_text.hpp"
#include "object_lifetime.hpp"
#include "property.hpp"
#include "python_text.hpp"
#include "register.hpp"

namespace py = pybind11;

namespace orv::bindings {

namespace {

FreshList<ChargeHandle> read_charges(Environment& self) {
    const std::shared_ptr<Environment> zone = held_zone(self);
    FreshList<ChargeHandle> read;
    read.items.reserve(zone->charges.size());
    for (std::size_t index = 0; index < zone->charges.size(); ++index) {
        read.items.emplace_back(zone, index);
    }
    return read;
}

void write_charges(Environment& self, ChargeSequence given) {
    // Copies are taken before the zone changes: a stale item refuses here and the zone stays
    // as it was; items of this very zone are read before its list is replaced.
    std::vector<Charge> copies;
    copies.reserve(given.items.size());
    for (ChargeHandle& handle : given.items) {
        copies.push_back(handle.get());
    }
    self.charges = std::move(copies);
    self.mark_charges_changed();
}

py::str zone_text(const Environment& self) {
    return write_tree_python_text([&](JsonTextWriter& out) { self.write_json(out); });
}

/// Bound with a plain reference so that a zone whose __init__ never ran is refused (see
/// held_zone); the engine's checked add refuses a cycle.
void add_sub_environment(Environment& self, Environment& sub_env) {
    self.add_environment_checked(held_zone(sub_env));
}

} // namespace

void register_environment(py::module_& module) {
    EnvironmentClass environment(module, "Environment", guarded_type_setup());
    refuse_uninitialised_instances<Environment>();
    def_constructor(
        environment,
        +[](Text id) { return std::make_shared<Environment>(std::move(id.value)); },
        py::arg("id"));
    def_attribute(
        environment, "id", [](Environment& self) { return self.id; },
        [](Environment& self, Text value) { self.id = std::move(value.value); });
    def_attribute(environment, "charges", &read_charges, &write_charges);
    environment.def_readwrite("is_time_frozen", &Environment::is_time_frozen)
        .def("to_json", &zone_text)
        .def(
            "add_charge",
            [](Environment& self, Number magnitude, ChargePolarity polarity, Text visual_id) {
                self.add_charge(Charge(magnitude.value, polarity, std::move(visual_id.value)));
            },
            py::arg("magnitude"), py::arg("polarity"), py::arg("visual_id"))
        .def("add_sub_environment", &add_sub_environment, py::arg("sub_env").none(false));
    register_agent_methods(environment);
}

} // namespace orv::bindings
