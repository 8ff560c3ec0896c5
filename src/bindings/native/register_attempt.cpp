// A player's attempt at a puzzle (include/orv/attempt.hpp) and its hint (include/orv/hint.hpp):
// the rules of a move and the hint's search, for the package's orv.Attempt.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <pybind11/stl.h>

#include "orv/attempt.hpp"
#include "orv/hint.hpp"
#include "orv/level_file.hpp"
#include "register_native.hpp"

namespace py = pybind11;

namespace orv::native {

namespace {

std::optional<std::size_t> index_of(std::optional<std::int64_t> index) {
    if (index && *index < 0) {
        throw PlacementError("index " + std::to_string(*index) + " is negative");
    }
    return index ? std::optional<std::size_t>(static_cast<std::size_t>(*index)) : std::nullopt;
}

std::vector<std::pair<std::string, std::vector<std::string>>> placement_pairs(
    const Attempt& attempt) {
    std::vector<std::pair<std::string, std::vector<std::string>>> pairs;
    for (PlacedAgents& placed : attempt.placement()) {
        pairs.emplace_back(std::move(placed.zone), std::move(placed.agents));
    }
    return pairs;
}

std::string placed_level_text(const Attempt& attempt) {
    TextBuffer text;
    JsonTextWriter writer(text);
    attempt.placed_level()->write_json(writer);
    return text.str();
}

std::string hint_text(const Attempt& attempt, std::int64_t max_placements) {
    if (max_placements < 0) {
        throw std::invalid_argument("max_placements must not be negative, got " +
                                    std::to_string(max_placements));
    }
    // The search works on its own copy: a signal handler that changes the attempt while the
    // search runs (the engine's interrupt hook runs Python code) cannot pull it from under it.
    const Attempt copy = attempt;
    return hint_json(hint_for(copy, static_cast<std::uint64_t>(max_placements))).dump();
}

} // namespace

void register_attempt(py::module_& module) {
    py::register_exception<PlacementError>(module, "PlacementError", PyExc_ValueError);
    py::class_<Attempt>(module, "Attempt")
        .def(py::init<Puzzle>(), py::arg("puzzle"))
        .def_property_readonly("received", &Attempt::received)
        .def_property_readonly("placed", &Attempt::placed)
        .def("place",
             [](Attempt& attempt, const std::string& visual_id, const std::string& zone_id,
                std::optional<std::int64_t> index) {
                 attempt.place(visual_id, zone_id, index_of(index));
             },
             py::arg("visual_id"), py::arg("zone_id"), py::arg("index") = py::none())
        .def("remove", &Attempt::remove, py::arg("visual_id"))
        .def("move",
             [](Attempt& attempt, const std::string& visual_id, const std::string& zone_id,
                std::optional<std::int64_t> index) {
                 attempt.move(visual_id, zone_id, index_of(index));
             },
             py::arg("visual_id"), py::arg("zone_id"), py::arg("index") = py::none())
        .def("undo", &Attempt::undo)
        .def("redo", &Attempt::redo)
        .def("reset", &Attempt::reset)
        .def("placement", &placement_pairs)
        .def("check_playable", &Attempt::check_playable)
        .def("placed_level_text", &placed_level_text)
        .def("hint", &hint_text, py::arg("max_placements"));
}

} // namespace orv::native
