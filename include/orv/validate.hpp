#pragma once

// Invariant checkers of the validation build (the ORV_VALIDATE option), compiled in only
// there. The engine keeps facts it could compute again: the text of a zone's agents and
// charges, how many zones list a zone as a sub-zone, the revision that tells Python's charge
// items that a list was restructured. Each is kept right only because every write path marks
// it. Here each kept fact is compared with a fresh computation at the points where it is
// relied on, so a forgotten mark fails the test that takes that path instead of shipping a
// stale frame. A failed check throws std::logic_error naming the zone: it reaches Python as a
// RuntimeError of the very call, and the rest of a test run goes on and reports its failures.
#ifdef ORV_VALIDATE

namespace orv {

class Environment;

namespace validate {

/// Counts `zone` among the live zones (its constructor), and forgets it (its destructor).
void zone_created(const Environment& zone);
void zone_destroyed(const Environment& zone) noexcept;

/// Before a kept text of the zone's agents and charges is reused: it must equal what writing
/// them now gives.
void kept_members_text(const Environment& zone);

/// Before the zone's charge list is used through a revision: a list whose elements were added,
/// removed or replaced since the revision was last seen must have a new revision.
void charges_revision(const Environment& zone);

/// Before a step or a tree text: every live zone's parent_count equals the number of
/// sub_environments entries, over all live zones, that refer to it, and every charge list
/// passes charges_revision.
void live_zones();

} // namespace validate

} // namespace orv

#endif
