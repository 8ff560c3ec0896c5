#include "orv/search_tally.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace orv::solver {

SearchTally::SearchTally(std::size_t smallest, std::size_t largest, std::uint64_t max_placements,
                         std::uint64_t max_solutions, bool all_sizes)
    : next_(smallest), largest_(largest), budget_(max_placements), solution_room_(max_solutions),
      all_sizes_(all_sizes), over_(smallest > largest) {}

std::optional<std::size_t> SearchTally::next_size() const {
    if (over_) {
        return std::nullopt;
    }
    return next_;
}

std::optional<std::uint64_t> SearchTally::start_size(std::uint64_t placements) {
    if (over_) {
        throw std::logic_error("the search is over: no size to start");
    }
    const std::uint64_t to_try = std::min(placements, budget_);
    if (placements > 0 && to_try == 0) {
        complete_ = false;
        bound_reached_ = true;
        over_ = true;
        return std::nullopt;
    }
    budget_ -= to_try;
    to_try_ = to_try;
    sizes_[next_] = SizeCount{placements, 0, false};
    return to_try;
}

void SearchTally::start_uncounted() {
    complete_ = false;
    bound_reached_ = true;
    uncounted_size_ = next_;
    over_ = true;
}

void SearchTally::add(std::uint64_t tried, std::uint64_t solved) {
    placements_ += tried;
    sizes_.at(next_).solutions += solved;
}

std::uint64_t SearchTally::keep_solutions(std::uint64_t found) {
    const std::uint64_t kept = std::min(found, solution_room_);
    solution_room_ -= kept;
    return kept;
}

void SearchTally::end_size(bool interrupted) {
    SizeCount& size = sizes_.at(next_);
    size.searched = !interrupted && to_try_ == size.placements;
    if (interrupted) {
        interrupted_ = true;
        complete_ = false;
        over_ = true;
    } else if (to_try_ < size.placements) {
        complete_ = false;
        bound_reached_ = true;
        over_ = true;
    } else if ((size.solutions > 0 && !all_sizes_) || next_ == largest_) {
        over_ = true;
    }
    ++next_;
}

std::optional<std::size_t> SearchTally::min_size() const {
    for (const auto& [size, count] : sizes_) {
        if (count.solutions > 0) {
            return size;
        }
    }
    return std::nullopt;
}

std::optional<bool> SearchTally::unique() const {
    const std::optional<std::size_t> size = min_size();
    if (!size) {
        return std::nullopt;
    }
    const SizeCount& count = sizes_.at(*size);
    if (count.solutions > 1) {
        return false;
    }
    return count.searched ? std::optional<bool>(true) : std::nullopt;
}

std::optional<double> SearchTally::difficulty() const {
    const std::optional<std::size_t> size = min_size();
    if (!size || !sizes_.at(*size).searched) {
        return std::nullopt;
    }
    const SizeCount& count = sizes_.at(*size);
    return std::log2(static_cast<double>(count.placements) / static_cast<double>(count.solutions));
}

nlohmann::ordered_json SearchTally::to_json(nlohmann::ordered_json solutions) const {
    const auto or_null = [](const auto& value) {
        return value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json(nullptr);
    };
    nlohmann::ordered_json counts = nlohmann::ordered_json::object();
    for (const auto& [size, count] : sizes_) {
        counts[std::to_string(size)] = count.solutions;
    }
    nlohmann::ordered_json report;
    report["solvable"] = solvable();
    report["complete"] = complete_;
    report["min_size"] = or_null(min_size());
    report["solutions"] = std::move(solutions);
    report["solution_count"] = std::move(counts);
    report["unique"] = or_null(unique());
    report["difficulty"] = or_null(difficulty());
    report["placements"] = placements_;
    return report;
}

} // namespace orv::solver
