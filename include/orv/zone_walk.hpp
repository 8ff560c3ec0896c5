#pragma once

#include <cstddef>
#include <vector>

#include "orv/interrupt.hpp"

namespace orv {

/// Asks the processor to start loading the sub-zones of `zone`: zones lie scattered through
/// memory, and a walk that waits for each in turn spends most of its time waiting.
template <class Zone>
void prefetch_sub_zones(const Zone& zone) {
    for (const auto& sub : zone.sub_environments) {
        const char* bytes = reinterpret_cast<const char*>(sub.get());
        for (std::size_t offset = 0; offset < sizeof(Zone); offset += 64) {
            __builtin_prefetch(bytes + offset);
        }
    }
}

/// A zone of a walk whose sub-zones are being visited.
template <class Zone>
struct OpenZone {
    Zone* zone;
    std::size_t next; // index of the next sub-zone to visit
};

/// The walk of both walk_zones (below).
template <bool kPrefetch, class Zone, class Enter, class Leave>
bool walk_zones_with(Zone& root, Enter&& enter, Leave&& leave,
                     std::vector<OpenZone<Zone>>& open) {
    if constexpr (kPrefetch) {
        prefetch_sub_zones(root);
    }
    enter(root, static_cast<Zone*>(nullptr), std::size_t{0});
    open.clear();
    open.push_back({&root, 0});
    while (!open.empty()) {
        check_interrupt();
        OpenZone<Zone>& top = open.back();
        if (top.next < top.zone->sub_environments.size()) {
            Zone* parent = top.zone;
            const std::size_t index = top.next++;
            Zone& sub = *parent->sub_environments[index];
            if constexpr (kPrefetch) {
                prefetch_sub_zones(sub);
            }
            enter(sub, parent, index);
            open.push_back({&sub, 0}); // `top` is not used after this
            continue;
        }
        Zone& done = *top.zone;
        open.pop_back();
        Zone* parent = open.empty() ? nullptr : open.back().zone;
        const std::size_t index = open.empty() ? 0 : open.back().next - 1;
        if (leave(done, parent, index)) {
            return true;
        }
    }
    return false;
}

/// Walks the subtree of `root` depth first, sub-zones in list order, without recursion: a level
/// may nest zones deeper than the stack of a thread can hold frames for. A zone listed at
/// several places is visited at each. `Zone` is Environment or const Environment.
///
/// `enter(zone, parent, index)` runs before the zone's sub-zones and `leave(zone, parent,
/// index)` after them; `parent` is the zone whose list holds it at `index` (null and 0 for the
/// root). Neither may change a `sub_environments` list, except that `leave` may change its
/// parent's list when it then returns true, which stops the walk; walk_zones returns whether
/// a `leave` stopped it. Each zone entered or left is a unit of work for check_interrupt, which
/// may throw between two calls of `enter` or `leave`.
///
/// A caller that walks one small tree again and again gives the walk's stack `open`, kept from
/// walk to walk; the tree's zones are then in the cache already and are not prefetched.
template <class Zone, class Enter, class Leave>
bool walk_zones(Zone& root, Enter&& enter, Leave&& leave, std::vector<OpenZone<Zone>>& open) {
    return walk_zones_with<false>(root, enter, leave, open);
}

/// walk_zones with a stack of its own, prefetching each zone's sub-zones.
template <class Zone, class Enter, class Leave>
bool walk_zones(Zone& root, Enter&& enter, Leave&& leave) {
    std::vector<OpenZone<Zone>> open;
    return walk_zones_with<true>(root, enter, leave, open);
}

/// For the `enter` or `leave` of a walk that needs only one of them.
struct SkipZone {
    template <class Zone, class Parent>
    bool operator()(Zone& /*zone*/, Parent* /*parent*/, std::size_t /*index*/) const {
        return false;
    }
};

} // namespace orv
