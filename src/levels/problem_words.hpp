#pragma once

// How the level-file checks word a problem, the same from every build as in the package's
// loader (python/orv/levels/values.py): places, the names of JSON values, and the nearest
// known name.
#include <cstddef>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "orv/puzzle.hpp"

namespace orv::levels {

/// The place of member `key` of the value at `place` ("hand[0].name").
std::string at(const std::string& place, const std::string& key);
/// The place of element `index` of the list at `place` ("hand[0]").
std::string at(const std::string& place, std::size_t index);
/// "top zone" for the top zone's own place (empty).
std::string shown(const std::string& place);

/// How a value is named in a message: "null", "true", "the number 2.5", "a string", "a list",
/// "an object". Numbers read as Python writes them.
std::string kind_of(const nlohmann::json& value);
/// A double as Python's repr writes it ("2.5", "1e+16", "-0.0").
std::string python_float_text(double value);

/// ` (did you mean "x"?)` for the known name nearest `name`, or nothing.
std::string did_you_mean(const std::string& name, const std::vector<std::string>& known);

/// Every missing and unknown key of the object at `place`, in that order: the keys missing
/// in the order of `required`, then the unknown ones.
void key_problems(const nlohmann::json& object, const std::string& place,
                  const std::vector<std::string>& required, std::vector<LevelProblem>& problems);

/// Whether `value` is a string; if not, the problem "expected a string" at `place`.
bool is_text(const nlohmann::json& value, const std::string& place,
             std::vector<LevelProblem>& problems);

/// The problem "expected <label>, found <kind_of(value)>".
LevelProblem expected(const std::string& place, const std::string& label,
                      const nlohmann::json& value);

} // namespace orv::levels
