#pragma once

#include <string>

#include <nlohmann/json_fwd.hpp>

namespace orv {

/// The compact text of a JSON value, byte for byte what `value.dump()` writes (no spaces,
/// UTF-8 kept, the library's float digits, nlohmann::json::type_error 316 for text that is not
/// valid UTF-8), but without recursion, so arbitrarily deep documents cannot exhaust the stack.
std::string dump_compact(const nlohmann::json& value);

} // namespace orv
