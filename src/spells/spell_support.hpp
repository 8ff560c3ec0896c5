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
/// "needs 2 charges, has 1"; with one needed, "needs a charge, has none".
std::string too_few_charges(std::size_t needed, std::size_t present);
/// The same with the count left open: "needs 2 charges, has [count]".
std::string too_few_charges_pattern(std::size_t needed);
/// The shortest text that reads back as the same double: "2.5", "-9", "1e-10", "NaN", "inf".
std::string number_text(double value);
/// Why a divisor is refused: "divisor is 0", or "divisor 1e-10 is below 1e-9"; empty for a
/// divisor the spells accept (|d| >= kZeroTolerance, or NaN).
std::string refused_divisor(double divisor);
/// The two reasons of refused_divisor as decline_reasons lists them.
std::vector<std::string> refused_divisor_patterns();

void replace_operands(std::vector<Charge>& charges, std::size_t consumed, double magnitude,
                      ChargePolarity polarity, const char* prefix, const MagicianAgent& caster);

} // namespace orv::spells
