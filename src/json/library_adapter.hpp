#pragma once

// The only door to the JSON library's internal interfaces (nlohmann::detail). The writers need
// its exact float digits, escapes and UTF-8 errors, which its public interface offers only
// through dump(); everything else in the engine uses the public interface alone.
#include <nlohmann/json_fwd.hpp>

#include "orv/json_text.hpp"

namespace orv::json_adapter {

/// Appends the library's text of a string, number, boolean or null value: its escapes, its
/// float digits, and its type_error 316 for text that is not valid UTF-8.
void write_scalar(TextBuffer& out, const nlohmann::json& value);

/// Appends `text` quoted and escaped as the library writes it (type_error 316 for invalid
/// UTF-8).
void write_string(TextBuffer& out, const std::string& text);

/// Writes the library's digits of a finite double ("5.0" for integral values) at `first`, at
/// most 25 bytes; returns the new end.
char* write_double(char* first, char* last, double value);

} // namespace orv::json_adapter
