// Playing a level with a record of every step, and what the run came to: what the package
// shows of a run comes from here.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include <nlohmann/json.hpp>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "../python_text.hpp"
#include "../signal_checks.hpp"
#include "orv/frame_event.hpp"
#include "orv/json_text.hpp"
#include "orv/level_run.hpp"
#include "orv/run_outcome.hpp"
#include "orv/step_record.hpp"
#include "register_native.hpp"

namespace py = pybind11;

namespace orv::native {

namespace {

/// A level read from its text, played on its own copy, which tells what each step did and
/// what the run came to. Nothing the caller holds changes.
class RecordingSequencer {
public:
    explicit RecordingSequencer(const std::string& level_text) : run_(level_text) {}

    /// The frame's text and its step record's text.
    py::tuple next_frame() {
        const bindings::ExclusiveStep step;
        StepRecord record;
        py::str frame = bindings::write_tree_python_text(
            [&](JsonTextWriter& out) { run_.write_next_frame(out, record); });
        return py::make_tuple(std::move(frame), record.to_json().dump());
    }

    /// Plays the frames left without handing them out.
    void finish() {
        const bindings::ExclusiveStep step;
        run_.finish();
    }

    /// The JSON text of the outcome of the frames played so far (RunOutcome::to_json). Its
    /// walks check for signals, whose handlers must not step this run meanwhile.
    std::string outcome() const {
        const bindings::ExclusiveStep step;
        return run_.outcome().to_json().dump();
    }

    /// The level as it stands, as Environment.to_json writes it.
    py::str level_text() const {
        return bindings::write_tree_python_text(
            [&](JsonTextWriter& out) { run_.write_level(out); });
    }

    bool is_finished() const { return run_.is_finished(); }
    std::int32_t current_frame() const { return run_.current_frame(); }

private:
    LevelRun run_;
};

nlohmann::json parsed(const std::string& text, const char* what) {
    try {
        return nlohmann::json::parse(text);
    } catch (const nlohmann::json::parse_error& error) {
        throw std::invalid_argument(std::string(what) + " is not JSON: " + error.what());
    }
}

/// The outcome of a run from the texts of its documents (classify_documents).
std::string classify(const std::string& start, const std::string& steps, const std::string& last) {
    return classify_documents(parsed(start, "the start"), parsed(steps, "the steps"),
                              parsed(last, "the last frame"))
        .to_json()
        .dump();
}

std::optional<std::string> event_zone(const std::string& type, const std::string& agent_name,
                                      const std::string& visual_id,
                                      const std::string& description) {
    return event_zone_id(FrameEvent{agent_name, visual_id, type, description});
}

} // namespace

void register_play(py::module_& module) {
    py::class_<RecordingSequencer>(module, "RecordingSequencer")
        .def(py::init<const std::string&>(), py::arg("level_text"))
        .def("next_frame", &RecordingSequencer::next_frame)
        .def("finish", &RecordingSequencer::finish)
        .def("outcome", &RecordingSequencer::outcome)
        .def("level_text", &RecordingSequencer::level_text)
        .def_property_readonly("is_finished", &RecordingSequencer::is_finished)
        .def_property_readonly("current_frame", &RecordingSequencer::current_frame);
    module.def("classify", &classify, py::arg("start"), py::arg("steps"), py::arg("last"));
    module.def("event_zone", &event_zone, py::arg("type"), py::arg("agent_name"),
               py::arg("visual_id"), py::arg("description"));
}

} // namespace orv::native
