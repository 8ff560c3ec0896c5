// Playing a level with a record of every step: what the package shows of a run comes from here.
#include <memory>
#include <string>
#include <utility>

#include <nlohmann/json.hpp>
#include <pybind11/pybind11.h>

#include "../python_text.hpp"
#include "../signal_checks.hpp"
#include "orv/environment.hpp"
#include "orv/json_text.hpp"
#include "orv/sequencer.hpp"
#include "orv/step_record.hpp"
#include "register_native.hpp"

namespace py = pybind11;

namespace orv::native {

namespace {

/// A sequencer over a level read from its text, which tells what each step did. The level is
/// its own: nothing the caller holds changes.
class RecordingSequencer {
public:
    explicit RecordingSequencer(const std::string& level_text)
        : sequencer_(Environment::from_level_text(level_text)) {}

    /// The frame's text and its step record's text.
    py::tuple next_frame() {
        const bindings::ExclusiveStep step;
        StepRecord record;
        py::str frame = bindings::write_tree_python_text(
            [&](JsonTextWriter& out) { sequencer_.write_next_frame(out, &record); });
        return py::make_tuple(std::move(frame), record.to_json().dump());
    }

    /// The level as it stands, as Environment.to_json writes it.
    py::str level_text() {
        return bindings::write_tree_python_text(
            [&](JsonTextWriter& out) { sequencer_.root_environment->write_json(out); });
    }

    bool is_finished() const { return sequencer_.is_finished; }
    std::int32_t current_frame() const { return sequencer_.current_frame; }

private:
    NarrativeSequencer sequencer_;
};

} // namespace

void register_play(py::module_& module) {
    py::class_<RecordingSequencer>(module, "RecordingSequencer")
        .def(py::init<const std::string&>(), py::arg("level_text"))
        .def("next_frame", &RecordingSequencer::next_frame)
        .def("level_text", &RecordingSequencer::level_text)
        .def_property_readonly("is_finished", &RecordingSequencer::is_finished)
        .def_property_readonly("current_frame", &RecordingSequencer::current_frame);
}

} // namespace orv::native
