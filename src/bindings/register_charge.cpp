#include <memory>
#include <string>
#include <utility>

#include <pybind11/pybind11.h>

#include "arguments.hpp"
#include "charge_handle.hpp"
#include "fresh_objects.hpp"
#include "orv/charge.hpp"
#include "orv/json_text.hpp"
#include "object_lifetime.hpp"
#include "property.hpp"
#include "python_text.hpp"
#include "register.hpp"

namespace py = pybind11;

namespace orv::bindings {

void register_charge(py::module_& module) {
    py::enum_<ChargePolarity> polarities(module, "ChargePolarity", guarded_type_setup());
    refuse_uninitialised_instances<ChargePolarity>();
    polarities.value("POSITIVE", ChargePolarity::POSITIVE)
        .value("NEGATIVE", ChargePolarity::NEGATIVE)
        .value("NEUTRAL", ChargePolarity::NEUTRAL)
        .export_values();

    py::class_<ChargeHandle> charge(module, "Charge", guarded_type_setup());
    refuse_uninitialised_instances<ChargeHandle>();
    def_constructor(
        charge,
        +[](Number magnitude, ChargePolarity polarity, Text visual_id) {
            return std::make_unique<ChargeHandle>(
                Charge(magnitude.value, polarity, std::move(visual_id.value)));
        },
        py::arg("magnitude"), py::arg("polarity"), py::arg("visual_id"));
    def_attribute(
        charge, "magnitude", [](ChargeHandle& self) { return self.get().magnitude; },
        [](ChargeHandle& self, Number value) { self.edit().magnitude = value.value; });
    def_attribute(
        charge, "polarity",
        [](ChargeHandle& self) { return Fresh<ChargePolarity>{self.get().polarity}; },
        [](ChargeHandle& self, ChargePolarity value) { self.edit().polarity = value; });
    def_attribute(
        charge, "visual_id", [](ChargeHandle& self) { return self.get().visual_id; },
        [](ChargeHandle& self, Text value) { self.edit().visual_id = std::move(value.value); });
    charge.def("to_json", [](ChargeHandle& self) {
        const Charge& value = self.get();
        return write_python_text([&](JsonTextWriter& out) { value.write_json(out); });
    });
}

} // namespace orv::bindings
