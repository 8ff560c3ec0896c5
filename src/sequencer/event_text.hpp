#pragma once

#include <string>

namespace orv {

/// The text an event-type variable points to at this moment; a variable set to null reads as
/// the empty text rather than being dereferenced.
inline std::string event_text(const char* variable) { return variable ? variable : ""; }

} // namespace orv
