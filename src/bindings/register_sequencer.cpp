#include <memory>

#include <pybind11/pybind11.h>

#include "orv/json_text.hpp"
#include "orv/sequencer.hpp"
#include "object_lifetime.hpp"
#include "python_text.hpp"
#include "register.hpp"
#include "signal_checks.hpp"

namespace py = pybind11;

namespace orv::bindings {

void register_sequencer(py::module_& module) {
    py::class_<NarrativeSequencer> sequencer(module, "NarrativeSequencer", guarded_type_setup());
    refuse_uninitialised_instances<NarrativeSequencer>();
    def_constructor(
        sequencer,
        +[](Environment& env) { return std::make_unique<NarrativeSequencer>(held_zone(env)); },
        py::arg("env").none(false));
    sequencer
        .def("next_frame",
             [](NarrativeSequencer& self) {
                 const ExclusiveStep step;
                 return write_tree_python_text(
                     [&](JsonTextWriter& out) { self.write_next_frame(out); });
             })
        .def_readwrite("is_finished", &NarrativeSequencer::is_finished)
        .def_readwrite("current_frame", &NarrativeSequencer::current_frame);
}

} // namespace orv::bindings
