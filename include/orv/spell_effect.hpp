#pragma once

#include <optional>
#include <string>
#include <vector>

#include "orv/charge.hpp"

namespace orv {

/// What one spell did to its zone's charges, told by the spell as it does it (see the second
/// CastSpell of MagicianAgent). Only a caller that asks for it pays for it.
struct SpellEffect {
    /// The charges the spell took, in list order (The Purifier's: those it rewrote).
    std::vector<Charge> consumed;
    /// The charges it left in their place, in list order.
    std::vector<Charge> produced;
    /// The arithmetic as a reader follows it, operands read as the spell reads them:
    /// "3 ^ 2 → 9", "total 13 == 13 → opened".
    std::string arithmetic;
    /// A gate's: the signed total of its zone when it opened.
    std::optional<double> total;
};

} // namespace orv
