#pragma once

// A level file's text read into a zone tree. A level file holds the engine's JSON of its top
// zone, with two liberties: the members that can hold only one value in a file may be left
// out, and the top zone may carry keys that only the tools read (the designer's text, a
// puzzle's hand).
#include <memory>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "orv/environment.hpp"

namespace orv {

/// The keys a level file's top zone may carry beyond the engine's own, sorted: the designer's
/// "hint", "notes" and "title", and a puzzle's "hand", "puzzle" (the generator's note),
/// "slots" and "use". The engine never reads them.
const std::vector<const char*>& level_file_extra_keys();

/// A level file, read.
struct LevelFile {
    /// The top zone of the level's tree, built afresh.
    std::shared_ptr<Environment> top;
    /// The extra keys of the top zone (level_file_extra_keys) with their values, unchecked.
    nlohmann::json extras = nlohmann::json::object();
};

/// Reads the text of a level file. A UTF-8 byte-order mark is skipped. A zone's
/// "is_time_frozen", an agent's "priority" and "state" and a gate's "is_open" may be left out
/// and then take the one value a file can give them (false, the kind's priority, "dormant",
/// false); agents are only ever placed new, so another priority, state or an open gate is
/// refused. Everything else is read as Environment::from_json reads it. Throws
/// std::invalid_argument naming the place of the first problem.
LevelFile read_level_file(std::string_view text);

} // namespace orv
