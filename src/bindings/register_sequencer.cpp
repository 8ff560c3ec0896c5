#include <memory>

#include <pybind11/pybind11.h>

#include "orv/json_text.hpp"
#include "orv/sequencer.hpp"
#include "python_text.hpp"
#include "register.hpp"

namespace py = pybind11;

namespace orv::bindings {

void register_sequencer(py::module_& module) {
    py::class_<NarrativeSequencer>(module, "NarrativeSequencer")
        .def(py::init<std::shared_ptr<Environment>>(), py::arg("env").none(false))
        .def("next_frame",
             [](NarrativeSequencer& self) {
                 return write_python_text(
                     [&](JsonTextWriter& out) { self.write_next_frame(out); });
             })
        .def_readwrite("is_finished", &NarrativeSequencer::is_finished)
        .def_readwrite("current_frame", &NarrativeSequencer::current_frame);
}

} // namespace orv::bindings
