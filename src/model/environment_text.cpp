// The text of a zone tree, written straight from the zones: the fast route to the same bytes
// as dumping Environment::to_json().
#include "orv/environment.hpp"
#include "orv/validate.hpp"
#include "orv/zone_walk.hpp"
#include "zone_fields.hpp"

namespace orv {

void write_zone_tree(JsonTextWriter& out, const Environment& root,
                     const std::function<void(JsonFields&)>& root_extra) {
#ifdef ORV_VALIDATE
    validate::live_zones();
#endif
    walk_zones(
        root,
        [&](const Environment& zone, const Environment* parent, std::size_t index) {
            if (index > 0) {
                out.raw(',');
            }
            JsonTextFields fields(out);
            describe_zone_head(zone, fields);
            if (parent == nullptr && root_extra) {
                root_extra(fields);
            }
            fields.key("sub_environments");
            out.raw('[');
        },
        [&](const Environment& /*zone*/, const Environment* /*parent*/, std::size_t /*index*/) {
            out.raw("]}");
            return false;
        });
}

void Environment::write_json(JsonTextWriter& out) const { write_zone_tree(out, *this); }

} // namespace orv
