// A puzzle's file as the engine library reads it (include/orv/puzzle.hpp), and the course of
// its search (include/orv/search_tally.hpp): the rules the browser build follows, for the
// package to follow too.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <pybind11/stl.h>

#include "orv/level_file.hpp"
#include "orv/puzzle.hpp"
#include "orv/search_tally.hpp"
#include "register_native.hpp"

namespace py = pybind11;

namespace orv::native {

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs problem_pairs(const std::vector<LevelProblem>& problems) {
    Pairs pairs;
    for (const LevelProblem& problem : problems) {
        pairs.emplace_back(problem.place, problem.problem);
    }
    return pairs;
}

/// The problems of a level's extra top-zone keys (`extras`, a JSON object's text) on the
/// tree that `level_text` holds; empty when there are none.
Pairs level_extras_problems(const std::string& extras, const std::string& level_text) {
    const std::shared_ptr<Environment> top = Environment::from_json_text(level_text);
    try {
        check_level_extras(nlohmann::json::parse(extras), *top);
    } catch (const LevelProblems& problems) {
        return problem_pairs(problems.problems());
    }
    return {};
}

Pairs hand_pairs(const Puzzle& puzzle) {
    Pairs hand;
    for (const solver::HandAgent& agent : puzzle.hand) {
        hand.emplace_back(agent.name, agent.visual_id);
    }
    return hand;
}

std::string placed_level_text(const Puzzle& puzzle,
                              const std::vector<std::pair<std::string, std::vector<std::string>>>&
                                  placement) {
    HandPlacement placed;
    for (const auto& [zone, agents] : placement) {
        placed.push_back({zone, agents});
    }
    TextBuffer text;
    JsonTextWriter writer(text);
    place_hand(puzzle, placed)->write_json(writer);
    return text.str();
}

void register_tally(py::module_& module) {
    using solver::SearchTally;
    module.attr("DEFAULT_MAX_PLACEMENTS") = solver::kDefaultMaxPlacements;
    module.attr("DEFAULT_MAX_SOLUTIONS") = solver::kDefaultMaxSolutions;
    py::class_<SearchTally>(module, "SearchTally")
        .def(py::init<std::size_t, std::size_t, std::uint64_t, std::uint64_t, bool>(),
             py::arg("smallest"), py::arg("largest"), py::arg("max_placements"),
             py::arg("max_solutions"), py::arg("all_sizes"))
        .def("next_size", &SearchTally::next_size)
        .def("start_size", &SearchTally::start_size, py::arg("placements"))
        .def("start_uncounted", &SearchTally::start_uncounted)
        .def("add", &SearchTally::add, py::arg("tried"), py::arg("solved"))
        .def("keep_solutions", &SearchTally::keep_solutions, py::arg("found"))
        .def("end_size", &SearchTally::end_size, py::arg("interrupted"))
        .def_property_readonly("complete", &SearchTally::complete)
        .def_property_readonly("interrupted", &SearchTally::interrupted)
        .def_property_readonly("bound_reached", &SearchTally::bound_reached)
        .def_property_readonly("uncounted_size", &SearchTally::uncounted_size)
        .def_property_readonly("placements", &SearchTally::placements)
        .def_property_readonly("solvable", &SearchTally::solvable)
        .def_property_readonly("min_size", &SearchTally::min_size)
        .def_property_readonly("unique", &SearchTally::unique)
        .def_property_readonly("difficulty", &SearchTally::difficulty)
        .def("sizes", [](const SearchTally& tally) {
            std::vector<std::tuple<std::size_t, std::uint64_t, std::uint64_t, bool>> sizes;
            for (const auto& [size, count] : tally.sizes()) {
                sizes.emplace_back(size, count.placements, count.solutions, count.searched);
            }
            return sizes;
        });
}

} // namespace

void register_puzzles(py::module_& module) {
    module.def("level_extras_problems", &level_extras_problems, py::arg("extras"),
               py::arg("level_text"));
    py::class_<Puzzle>(module, "PuzzleFile")
        .def(py::init([](const std::string& text) { return read_puzzle(text); }),
             py::arg("text"))
        .def_readonly("level_text", &Puzzle::level_text)
        .def_property_readonly("hand", &hand_pairs)
        .def_readonly("zone_ids", &Puzzle::zone_ids)
        .def_readonly("slots", &Puzzle::slots)
        .def_readonly("use_all", &Puzzle::use_all)
        .def("placed_level_text", &placed_level_text, py::arg("placement"));
    register_tally(module);
}

} // namespace orv::native
