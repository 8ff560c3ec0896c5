#include "solve_options.hpp"

#include <stdexcept>

#include <nlohmann/json.hpp>

namespace orv::wasm {

namespace {

/// A whole number of at least 0 (a JavaScript number that is one arrives as an integer).
std::uint64_t count_option(const nlohmann::json& value, const std::string& name,
                           const std::string& call = "solve") {
    if (!value.is_number_unsigned()) {
        throw std::invalid_argument(call + ": option " + name +
                                    " must be a whole number of at least 0, not " +
                                    value.dump(-1, ' ', false,
                                               nlohmann::json::error_handler_t::replace));
    }
    return value.get<std::uint64_t>();
}

} // namespace

SolveOptions solve_options_from_json(const std::string& text) {
    const nlohmann::json options = nlohmann::json::parse(text);
    SolveOptions chosen;
    if (options.is_null()) {
        return chosen;
    }
    if (!options.is_object()) {
        throw std::invalid_argument("solve: the options must be an object such as "
                                    "{maxPlacements: 1000000}");
    }
    for (const auto& [name, value] : options.items()) {
        if (name == "maxPlacements") {
            chosen.max_placements = count_option(value, name);
        } else if (name == "maxSolutions") {
            chosen.max_solutions = count_option(value, name);
        } else if (name == "allSizes") {
            if (!value.is_boolean()) {
                throw std::invalid_argument("solve: option allSizes must be true or false");
            }
            chosen.all_sizes = value.get<bool>();
        } else {
            throw std::invalid_argument("solve: unknown option \"" + name +
                                        "\" (the options are maxPlacements, maxSolutions and "
                                        "allSizes)");
        }
    }
    return chosen;
}

std::uint64_t hint_max_placements(const std::string& text) {
    const nlohmann::json options = nlohmann::json::parse(text);
    std::uint64_t max_placements = solver::kDefaultMaxPlacements;
    if (options.is_null()) {
        return max_placements;
    }
    if (!options.is_object()) {
        throw std::invalid_argument("hint: the options must be an object such as "
                                    "{maxPlacements: 100000}");
    }
    for (const auto& [name, value] : options.items()) {
        if (name != "maxPlacements") {
            throw std::invalid_argument("hint: unknown option \"" + name +
                                        "\" (the option is maxPlacements)");
        }
        max_placements = count_option(value, name, "hint");
    }
    return max_placements;
}

} // namespace orv::wasm
