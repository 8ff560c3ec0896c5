#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "orv/agent.hpp"
#include "orv/charge.hpp"
#include "orv/rules.hpp"
#include "orv/spell_effect.hpp"

namespace orv::spells {

inline constexpr double kZeroTolerance = rules::kZeroTolerance;

/// POSITIVE when value >= 0 (zero and -0 included), else NEGATIVE (NaN included).
ChargePolarity sign_polarity(double value);

/// NEUTRAL when |value| < kZeroTolerance, else NEGATIVE for an odd count of NEGATIVE operands
/// and POSITIVE for an even one. A NaN value fails the tolerance test and keeps the parity.
ChargePolarity parity_polarity(double value, std::size_t negative_count);

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

/// The common end of a spell: takes the last `consumed` charges off the list (all of them
/// when `consumed` equals its size) and appends the result charge named `prefix` + the
/// caster's visual_id. The result is built before anything is removed, so an allocation
/// failure leaves the list as it was. An `effect`, when given, receives the charges taken and
/// the result.
void replace_operands(std::vector<Charge>& charges, std::size_t consumed, double magnitude,
                      ChargePolarity polarity, const char* prefix, const MagicianAgent& caster,
                      SpellEffect* effect);

// The step texts: operands shown as the spell reads them, and the result.

/// The magnitude, negated when the charge is NEGATIVE (a NEUTRAL one counts positive): how
/// Multiply, Divide and Power read a charge.
double negative_tested_value(const Charge& charge);
/// An operand for a reader: readable_number, in parentheses when negative ("(-2)").
std::string shown(double value, bool signed_zero = false);
/// The operands read by `reading`, joined by ` sign `: "3 + (-5)".
std::string joined(const std::vector<Charge>& operands, double (*reading)(const Charge&),
                   const char* sign);
/// A result charge for a reader: its signed value ("-2"), or for a NEUTRAL one its magnitude
/// and "(neutral)".
std::string result_text(const Charge& result);
/// "operands → result", for the common end of a spell.
void tell_arithmetic(SpellEffect* effect, const std::string& operands);

} // namespace orv::spells
