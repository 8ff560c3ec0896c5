// Walks over a zone tree. They do not recurse: trees may be far deeper than the stack.
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "orv/environment.hpp"

namespace orv {

bool would_form_cycle(const Environment& parent, const Environment& child) {
    if (&parent == &child) {
        return true;
    }
    // A zone that is nobody's sub-zone cannot lie below `child`.
    if (parent.parent_count == 0 || child.sub_environments.empty()) {
        return false;
    }
    std::vector<const Environment*> pending{&child};
    std::unordered_set<const Environment*> seen{&child};
    while (!pending.empty()) {
        const Environment* zone = pending.back();
        pending.pop_back();
        for (const auto& sub : zone->sub_environments) {
            if (sub.get() == &parent) {
                return true;
            }
            if (seen.insert(sub.get()).second) {
                pending.push_back(sub.get());
            }
        }
    }
    return false;
}

std::string quoted_zone_id(const Environment& zone) {
    // A JSON string literal shows the id readably; bytes that are not UTF-8 become U+FFFD so
    // that the message itself is always valid text.
    return nlohmann::json(zone.id).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

} // namespace orv
