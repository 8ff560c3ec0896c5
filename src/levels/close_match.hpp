#pragma once

#include <string>
#include <vector>

namespace orv::levels {

/// The candidate most like `word`, as Python's difflib.get_close_matches(word, candidates,
/// n=1) picks it, or an empty text when none is alike enough: the same similarity (twice the
/// characters that its matching blocks share, over both lengths; characters are code points),
/// the same cut-off of 0.6 and the same tie-break (the greater text). The tools' messages
/// ("did you mean ...?") are the same from every build that way.
std::string closest_match(const std::string& word, const std::vector<std::string>& candidates);

} // namespace orv::levels
