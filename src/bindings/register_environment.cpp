#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "charge_handle.hpp"
#include "orv/environment.hpp"
#include "orv/json_text.hpp"
#include "property.hpp"
#include "python_text.hpp"
#include "register.hpp"

namespace py = pybind11;

namespace orv::bindings {

namespace {

std::vector<ChargeHandle> read_charges(const std::shared_ptr<Environment>& self) {
    std::vector<ChargeHandle> items;
    items.reserve(self->charges.size());
    for (std::size_t index = 0; index < self->charges.size(); ++index) {
        items.emplace_back(self, index);
    }
    return items;
}

void write_charges(Environment& self, std::vector<ChargeHandle> given) {
    // Copies are taken before the zone changes: a stale item refuses here and the zone stays
    // as it was; items of this very zone are read before its list is replaced.
    std::vector<Charge> copies;
    copies.reserve(given.size());
    for (ChargeHandle& handle : given) {
        copies.push_back(handle.get());
    }
    self.charges = std::move(copies);
    self.mark_charges_changed();
}

py::str zone_text(const Environment& self) {
    return write_python_text([&](JsonTextWriter& out) { self.write_json(out); });
}

} // namespace

void register_environment(py::module_& module) {
    py::class_<Environment, std::shared_ptr<Environment>> environment(module, "Environment");
    environment.def(py::init<std::string>(), py::arg("id"))
        .def_readwrite("id", &Environment::id);
    def_attribute(environment, "charges", &read_charges, &write_charges);
    environment.def_readwrite("is_time_frozen", &Environment::is_time_frozen)
        .def("to_json", &zone_text)
        .def(
            "add_charge",
            [](Environment& self, double magnitude, ChargePolarity polarity,
               std::string visual_id) {
                self.add_charge(Charge(magnitude, polarity, std::move(visual_id)));
            },
            py::arg("magnitude"), py::arg("polarity"), py::arg("visual_id"))
        .def("add_sub_environment", &Environment::add_environment_checked,
             py::arg("sub_env").none(false));
    register_agent_methods(environment);
}

} // namespace orv::bindings
