#pragma once

namespace orv::math {

/// When x^y (x positive finite, y finite, both != 0 and x != 1) is a dyadic rational A 2^S
/// with A < 2^64, sets `result` to it rounded to nearest (ties to even) and returns true. Every
/// x^y that is a double or halfway between two doubles is of this kind, so the precise path,
/// which cannot decide those, never sees one.
bool exact_power(double x, double y, double& result);

} // namespace orv::math
