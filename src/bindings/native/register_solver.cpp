#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <pybind11/stl.h>

#include "orv/solver.hpp"
#include "register_native.hpp"

namespace py = pybind11;

namespace orv::native {

namespace {

/// The search as Python holds it. A signal handler runs Python code in the middle of a search
/// (the engine's interrupt hook), and may call this very object: a second search at that
/// moment would reset the level the first is running, so it is refused.
class BoundSearch {
public:
    BoundSearch(const std::string& level_text,
                const std::vector<std::pair<std::string, std::string>>& hand,
                const std::vector<std::int64_t>& slots, bool use_all)
        : search_(level_text, hand_of(hand), slots, use_all) {}

    std::uint64_t placement_count(std::int64_t size) {
        const Busy busy(*this);
        return search_.placement_count(size);
    }

    py::tuple search(std::int64_t size, std::int64_t start, std::int64_t stop,
                     std::int64_t max_solutions) {
        const Busy busy(*this);
        const solver::SearchResult found =
            search_.search(size, not_negative(start, "start"), not_negative(stop, "stop"),
                           not_negative(max_solutions, "max_solutions"));
        return py::make_tuple(found.tried, found.solved, found.solution_ranks);
    }

    std::vector<std::pair<std::size_t, std::vector<std::size_t>>> placement(std::int64_t size,
                                                                            std::int64_t rank) {
        const Busy busy(*this);
        if (rank < 0) {
            throw py::index_error("placement rank " + std::to_string(rank) + " is negative");
        }
        return search_.placement(size, static_cast<std::uint64_t>(rank));
    }

private:
    struct Busy {
        explicit Busy(BoundSearch& owner) : owner_(owner) {
            if (owner_.busy_) {
                throw std::runtime_error("PuzzleSearch cannot be used while one of its calls is "
                                         "in progress (from a signal handler)");
            }
            owner_.busy_ = true;
        }
        ~Busy() { owner_.busy_ = false; }
        Busy(const Busy&) = delete;
        Busy& operator=(const Busy&) = delete;
        BoundSearch& owner_;
    };

    static std::vector<solver::HandAgent>
    hand_of(const std::vector<std::pair<std::string, std::string>>& hand) {
        std::vector<solver::HandAgent> agents;
        agents.reserve(hand.size());
        for (const auto& [name, visual_id] : hand) {
            agents.push_back({name, visual_id});
        }
        return agents;
    }

    static std::uint64_t not_negative(std::int64_t value, const char* name) {
        if (value < 0) {
            throw std::invalid_argument(std::string(name) + " must not be negative, got " +
                                        std::to_string(value));
        }
        return static_cast<std::uint64_t>(value);
    }

    solver::PuzzleSearch search_;
    bool busy_ = false;
};

} // namespace

void register_solver(py::module_& module) {
    py::class_<BoundSearch>(module, "PuzzleSearch")
        .def(py::init<const std::string&, const std::vector<std::pair<std::string, std::string>>&,
                      const std::vector<std::int64_t>&, bool>(),
             py::arg("level_text"), py::arg("hand"), py::arg("slots"), py::arg("use_all"))
        .def("placement_count", &BoundSearch::placement_count, py::arg("size"))
        .def("search", &BoundSearch::search, py::arg("size"), py::arg("start"), py::arg("stop"),
             py::arg("max_solutions"))
        .def("placement", &BoundSearch::placement, py::arg("size"), py::arg("rank"));
}

} // namespace orv::native
