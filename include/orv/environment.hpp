#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "orv/agent.hpp"
#include "orv/charge.hpp"
#include "orv/json_text.hpp"

namespace orv {

class JsonFields;

/// A zone of a level: charges, the agents acting on them, and nested zones. Zones are held by
/// shared reference; there are no parent links, every walk goes downwards.
class Environment {
public:
    explicit Environment(std::string id_);
    /// Releases the subtree without recursion, so that long chains of zones cannot exhaust
    /// the stack.
    virtual ~Environment();

    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;

    /// The zone and its whole subtree, built without recursion (trees may nest very deep).
    virtual nlohmann::json to_json() const;
    /// Appends the text of to_json() without building the value (see write_zone_tree).
    virtual void write_json(JsonTextWriter& out) const;
    /// The zone tree that `value` (a to_json() value) describes, read through the same
    /// descriptions that write it: writing the result gives the same text again. Agents are
    /// made by their "name". Throws std::invalid_argument naming the place of bad content.
    static std::shared_ptr<Environment> from_json(const nlohmann::json& value);
    /// from_json of a text; std::invalid_argument for text that is not JSON.
    static std::shared_ptr<Environment> from_json_text(std::string_view text);
    /// The tree of a level file's text: from_json_text, with the members of the top zone
    /// that the engine does not have left aside (the tools' "title", "hint", "hand"..., and
    /// a frame document's "meta").
    static std::shared_ptr<Environment> from_level_text(std::string_view text);
    /// from_level_text of a parsed text: the members of the top zone that the engine does
    /// not have are left aside.
    static std::shared_ptr<Environment> from_level_json(nlohmann::json value);
    /// Appends the charge; nothing is merged or checked.
    virtual void add_charge(Charge charge);
    /// Appends the agent. Throws std::invalid_argument for an empty reference.
    virtual void add_magician(std::shared_ptr<MagicianAgent> agent);
    /// Appends the sub-zone; the same zone may be added several times or under several
    /// parents. Throws std::invalid_argument for an empty reference. Cycles are not checked
    /// here: see add_environment_checked.
    virtual void add_environment(std::shared_ptr<Environment> environment);
    /// add_environment, refusing with std::invalid_argument (a message naming both zones) a
    /// sub-zone that would make a zone its own descendant (see would_form_cycle).
    void add_environment_checked(std::shared_ptr<Environment> environment);

    /// Takes the sub-zone at `index` out of `sub_environments`, keeping the others' order.
    void remove_sub_environment(std::size_t index);

    /// Marks the charge list as restructured: views into it (the Python items of `charges`)
    /// taken before the mark refuse to be used. Whoever adds, removes or replaces elements of
    /// `charges` calls this; changing fields of an element in place calls mark_text_changed.
    void mark_charges_changed() noexcept {
        ++charges_revision;
        mark_text_changed();
    }
    /// Marks the text of the zone's charges and agents as out of date: the zone's text reuses
    /// what it wrote before until this is called. The engine's own calls do it; code that
    /// writes `charges`, `agents` or a member of one of them directly calls it.
    void mark_text_changed() noexcept { members_text.clear(); }

    std::string id;
    std::vector<Charge> charges;
    std::vector<std::shared_ptr<MagicianAgent>> agents;
    std::vector<std::shared_ptr<Environment>> sub_environments;
    /// Whether the zone's own agents are skipped in the current step; recomputed by the
    /// sequencer at every step. Written to JSON only for zones that have sub-zones.
    bool is_time_frozen = false;

    /// Bumped by mark_charges_changed.
    std::uint64_t charges_revision = 0;
    /// How many `sub_environments` entries, over all zones, refer to this zone. Kept by
    /// add_environment, remove_sub_environment and the destructor; lets the cycle check
    /// skip the search for a zone that is nobody's sub-zone.
    std::size_t parent_count = 0;
    /// The "agents" and "charges" members as last written (see write_zone_tree).
    mutable CachedText members_text;
};

/// True when adding `child` beneath `parent` would make a zone its own descendant: `child` is
/// `parent`, or `parent` lies somewhere in the subtree of `child`.
bool would_form_cycle(const Environment& parent, const Environment& child);

/// Writes the text of `root.to_json()`, without recursion, reusing the text of every zone's
/// agents and charges that did not change since it was last written. `root_extra`, when given,
/// is called with the root object's members right before its "sub_environments" member, to add
/// members whose keys sort there (the frame document's "meta").
void write_zone_tree(JsonTextWriter& out, const Environment& root,
                     const std::function<void(JsonFields&)>& root_extra = {});

/// The zone's id as a quoted JSON string for messages; bytes that are not UTF-8 show as U+FFFD.
std::string quoted_zone_id(const Environment& zone);

/// The members of the objects of a level file, as the engine writes and reads them: for
/// "zone", "charge", "agent" (every kind but the gates), "gate" (the Equals Gate) and
/// "judge" (The Judge), {key: kind of value}.
nlohmann::json level_fields_json();

} // namespace orv
