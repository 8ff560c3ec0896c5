#pragma once

#include <array>
#include <cstddef>

namespace orv {

/// The texts of an enumeration in its JSON form: `text` gives the word of any stored value
/// (out-of-range values included), `values` lists every value a word may name, so that a
/// reader finds the value back from its word with the very function the writers use.
template <class Enum, std::size_t Count>
struct EnumWords {
    const char* (*text)(Enum);
    std::array<Enum, Count> values;
};

} // namespace orv
