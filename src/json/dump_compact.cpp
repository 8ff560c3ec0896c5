#include "orv/json_text.hpp"

#include <vector>

#include <nlohmann/json.hpp>

#include "library_adapter.hpp"

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
    // Scalars, keys included, go through the library's own serializer: its escaping, UTF-8
    // checks and float digits are the reference.
    TextBuffer text;
    std::vector<OpenContainer> open;

    auto write = [&](const Json& item) {
        if (item.is_object()) {
            text.push_back('{');
            open.push_back({&item, item.cbegin()});
        } else if (item.is_array()) {
            text.push_back('[');
            open.push_back({&item, item.cbegin()});
        } else {
            json_adapter::write_scalar(text, item);
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
            json_adapter::write_string(text, member.key());
            text.push_back(':');
        }
        // May grow `open`; `top` is not used after this.
        write(*member);
    }
    return text.str();
}

} // namespace orv
