#ifdef ORV_VALIDATE

#include "orv/validate.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <unordered_map>

#include "orv/environment.hpp"
#include "orv/json_fields.hpp"
#include "zone_fields.hpp"

namespace orv::validate {

namespace {

/// The shape of a charge list when its revision was last seen.
struct ChargesSeen {
    std::uint64_t revision = 0;
    const Charge* data = nullptr;
    std::size_t size = 0;
};

/// Every live zone. Static storage that is never destroyed: zones may die at exit.
std::unordered_map<const Environment*, ChargesSeen>& live() {
    static auto* zones = new std::unordered_map<const Environment*, ChargesSeen>();
    return *zones;
}

[[noreturn]] void fail(const Environment& zone, const std::string& problem) {
    throw std::logic_error("validation failed for zone " + quoted_zone_id(zone) + ": " + problem);
}

/// `text` from byte `at` on, shortened for a message.
std::string excerpt(std::string_view text, std::size_t at) {
    constexpr std::size_t kShown = 80;
    const std::size_t from = at > 20 ? at - 20 : 0;
    return "..." + std::string(text.substr(from, kShown)) + "...";
}

void check_charges(const Environment& zone, ChargesSeen& seen) {
    const bool restructured = seen.data != zone.charges.data() || seen.size != zone.charges.size();
    if (seen.revision == zone.charges_revision && restructured) {
        fail(zone, "its charge list went from " + std::to_string(seen.size) + " to " +
                       std::to_string(zone.charges.size()) +
                       " charges (or was replaced) without mark_charges_changed");
    }
    seen = {zone.charges_revision, zone.charges.data(), zone.charges.size()};
}

} // namespace

void zone_created(const Environment& zone) {
    live().emplace(&zone, ChargesSeen{zone.charges_revision, zone.charges.data(), 0});
}

void zone_destroyed(const Environment& zone) noexcept { live().erase(&zone); }

void kept_members_text(const Environment& zone) {
    if (!zone.members_text.valid()) {
        return;
    }
    TextBuffer fresh;
    JsonTextWriter out(fresh);
    JsonTextFields members(out);
    describe_zone_members(zone, members);
    const std::string_view kept = zone.members_text.text();
    const std::string_view now(fresh.data(), fresh.size());
    if (kept != now) {
        const auto differs = std::mismatch(kept.begin(), kept.end(), now.begin(), now.end());
        const auto at = static_cast<std::size_t>(differs.first - kept.begin());
        fail(zone, "its kept text of agents and charges is out of date (a change was not "
                   "marked): kept " + excerpt(kept, at) + ", written now " + excerpt(now, at));
    }
}

void charges_revision(const Environment& zone) {
    const auto found = live().find(&zone);
    if (found != live().end()) {
        check_charges(zone, found->second);
    }
}

void live_zones() {
    std::unordered_map<const Environment*, std::size_t> listed;
    for (const auto& [zone, seen] : live()) {
        for (const auto& sub : zone->sub_environments) {
            ++listed[sub.get()];
        }
    }
    for (auto& [zone, seen] : live()) {
        const std::size_t count = listed.count(zone) == 0 ? 0 : listed.at(zone);
        if (zone->parent_count != count) {
            fail(*zone, "parent_count is " + std::to_string(zone->parent_count) + " but " +
                            std::to_string(count) + " sub_environments entries refer to it");
        }
        check_charges(*zone, seen);
    }
}

} // namespace orv::validate

#endif
