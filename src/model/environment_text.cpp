// The text of a zone tree, written straight from the zones: the fast route to the same bytes
// as dumping Environment::to_json().
#include <utility>
#include <vector>

#include "orv/environment.hpp"
#include "orv/interrupt.hpp"

namespace orv {

namespace {

/// Everything of a zone's object up to its "sub_environments" key, in sorted key order.
void write_zone_head(JsonTextWriter& out, const Environment& zone) {
    out.raw("{\"agents\":[");
    for (std::size_t index = 0; index < zone.agents.size(); ++index) {
        check_interrupt();
        if (index > 0) {
            out.raw(',');
        }
        zone.agents[index]->write_json(out);
    }
    out.raw("],\"charges\":[");
    for (std::size_t index = 0; index < zone.charges.size(); ++index) {
        check_interrupt();
        if (index > 0) {
            out.raw(',');
        }
        zone.charges[index].write_json(out);
    }
    out.raw("],\"id\":");
    out.string(zone.id);
    out.raw(",\"is_time_frozen\":");
    out.boolean(!zone.sub_environments.empty() && zone.is_time_frozen);
    out.raw(',');
}

/// A zone whose sub-zones are being written; `next` is the index of the next one.
struct OpenZone {
    const Environment* zone;
    std::size_t next;
};

} // namespace

void write_zone_tree(JsonTextWriter& out, const Environment& root,
                     const std::function<void(JsonTextWriter&)>& write_root_extra) {
    write_zone_head(out, root);
    if (write_root_extra) {
        write_root_extra(out);
    }
    out.raw("\"sub_environments\":[");
    // A work list instead of recursion, as in Environment::to_json.
    std::vector<OpenZone> open{{&root, 0}};
    while (!open.empty()) {
        check_interrupt();
        OpenZone& top = open.back();
        if (top.next == top.zone->sub_environments.size()) {
            out.raw("]}");
            open.pop_back();
            continue;
        }
        if (top.next > 0) {
            out.raw(',');
        }
        const Environment& sub = *top.zone->sub_environments[top.next++];
        write_zone_head(out, sub);
        out.raw("\"sub_environments\":[");
        open.push_back({&sub, 0}); // `top` is not used after this
    }
}

void Environment::write_json(JsonTextWriter& out) const { write_zone_tree(out, *this); }

} // namespace orv
