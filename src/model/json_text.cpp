#include "orv/json_text.hpp"

#include <memory>
#include <vector>

#include <nlohmann/json.hpp>

namespace orv {

namespace {

using Json = nlohmann::json;

/// An array or object whose members are being written.
struct OpenContainer {
    const Json* container;
    Json::const_iterator next;
};

} // namespace

std::string dump_compact(const Json& value) {
    std::string text;
    // Scalars, keys included, go through the library's own serializer: its escaping, UTF-8
    // checks and float digits are the reference. It appends straight to `text`, so our own
    // punctuation and its output interleave in order.
    nlohmann::detail::serializer<Json> scalars(
        std::make_shared<nlohmann::detail::output_string_adapter<char>>(text), ' ');
    std::vector<OpenContainer> open;

    auto write = [&](const Json& item) {
        if (item.is_object()) {
            text.push_back('{');
            open.push_back({&item, item.cbegin()});
        } else if (item.is_array()) {
            text.push_back('[');
            open.push_back({&item, item.cbegin()});
        } else {
            scalars.dump(item, false, false, 0);
        }
    };

    write(value);
    while (!open.empty()) {
        OpenContainer& top = open.back();
        const bool is_object = top.container->is_object();
        if (top.next == top.container->cend()) {
            text.push_back(is_object ? '}' : ']');
            open.pop_back();
            continue;
        }
        if (top.next != top.container->cbegin()) {
            text.push_back(',');
        }
        const Json::const_iterator member = top.next++;
        if (is_object) {
            scalars.dump(Json(member.key()), false, false, 0);
            text.push_back(':');
        }
        // May grow `open`; `top` is not used after this.
        write(*member);
    }
    return text;
}

} // namespace orv
