#pragma once

// The fixed numbers of the rules, in one place. The package reads them through orv._native
// (rule_constants), so that no other layer writes them again.
#include <cstdint>

namespace orv::rules {

/// Steps a level gets: the call after the last one reports the "ERROR" frame.
inline constexpr std::int32_t kStepBudget = 1000;

/// Operands and products closer to zero than this count as zero (Multiply, Divide, the
/// Scavenger); the test is strict.
inline constexpr double kZeroTolerance = 1e-9;

/// An Equals Gate opens when its zone's total differs from the target by strictly less.
inline constexpr double kEqualsTolerance = 1e-6;

/// From this integer part on, the factorial's double product is infinity.
inline constexpr double kFirstInfiniteFactorial = 171.0;

} // namespace orv::rules
