#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "orv/agent.hpp"
#include "orv/charge.hpp"

namespace orv::spells {

/// Operands and products closer to zero than this count as zero; the test is strict.
inline constexpr double kZeroTolerance = 1e-9;

/// POSITIVE when value >= 0 (zero and -0 included), else NEGATIVE (NaN included).
ChargePolarity sign_polarity(double value);

/// NEUTRAL when |value| < kZeroTolerance, else NEGATIVE for an odd count of NEGATIVE operands
/// and POSITIVE for an even one. A NaN value fails the tolerance test and keeps the parity.
ChargePolarity parity_polarity(double value, std::size_t negative_count);

/// The common end of a spell: takes the last `consumed` charges off the list (all of them
/// when `consumed` equals its size) and appends the result charge named `prefix` + the
/// caster's visual_id. The result is built before anything is removed, so an allocation
/// failure leaves the list as it was.
void replace_operands(std::vector<Charge>& charges, std::size_t consumed, double magnitude,
                      ChargePolarity polarity, const char* prefix, const MagicianAgent& caster);

} // namespace orv::spells
