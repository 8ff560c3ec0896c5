#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "orv/enum_words.hpp"
#include "orv/json_text.hpp"

namespace orv {

struct Charge;
class MagicianAgent;

/// Reads one JSON object back into the members of a value, through the same description that
/// writes it (`describe_json`, the zones' describe_zone_head): each call takes the member of
/// that key and stores it in the reference given. Every member must be there, with the type
/// the writers give it, and `finish` refuses members that no call took. Failures throw
/// std::invalid_argument naming the place of the object in the text and the member.
class JsonReader {
public:
    /// `place` names the object in messages ("the top zone", "sub_environments[2]"...).
    JsonReader(const nlohmann::json& object, std::string place);
    /// Spells out a place from what `context` points to.
    using PlaceOf = std::string (*)(const void* context);
    /// Names the object by `place_of(context)`, called only when a message needs the place:
    /// places deep in a tree are long, and spelling one out for every zone of a good text
    /// would take time quadratic in the depth. `context` must outlive the reader.
    JsonReader(const nlohmann::json& object, PlaceOf place_of, const void* context);

    /// A number; null (how NaN and infinities are written) reads as NaN.
    void number(const char* key, double& value);
    void integer(const char* key, std::int32_t& value);
    void boolean(const char* key, bool& value);
    void string(const char* key, std::string& value);
    /// An enumeration's word: the value among `words.values` whose text it is.
    template <class Enum, std::size_t Count>
    void word(const char* key, Enum& value, const EnumWords<Enum, Count>& words) {
        const std::string& text = string_member(key);
        for (const Enum candidate : words.values) {
            if (text == words.text(candidate)) {
                value = candidate;
                return;
            }
        }
        fail_member(key, "is not one of its words");
    }
    /// Members whose text a writer may keep: read as any others; the kept text goes.
    template <class DescribeMembers>
    void reusable(CachedText& cache, DescribeMembers&& describe) {
        describe(*this);
        cache.clear();
    }
    /// Fills `list` with one element per object of the array: `new_list_element` makes each
    /// from its object, then `describe(element, reader)` reads its members.
    template <class Element, class DescribeElement>
    void object_list(const char* key, std::vector<Element>& list, DescribeElement&& describe) {
        const nlohmann::json& items = array(key);
        list.clear();
        list.reserve(items.size());
        for (std::size_t index = 0; index < items.size(); ++index) {
            JsonReader item(items[index], *this, key, index);
            list.push_back(new_list_element(item, static_cast<const Element*>(nullptr)));
            describe(list.back(), item);
            item.finish();
        }
    }

    /// The array member `key`, for the caller to walk.
    const nlohmann::json& array(const char* key);
    /// The text of string member `key`, taken like any other member.
    const std::string& string_member(const char* key);
    /// Refuses a member that no call took.
    void finish() const;

    /// The place of element `index` of array member `key`.
    std::string item_place(const char* key, std::size_t index) const;
    std::string place() const;

private:
    /// Element `index` of the array member `key` of `parent`'s object; its place is spelled
    /// out from the parent's only when needed.
    JsonReader(const nlohmann::json& object, const JsonReader& parent, const char* key,
               std::size_t index);
    /// Refuses a value that is not an object, naming its place.
    void refuse_non_object() const;
    const nlohmann::json& member(const char* key);
    [[noreturn]] void fail_member(const char* key, const std::string& problem) const;

    const nlohmann::json& object_;
    /// The place: given as text, or by a function of a context, or as an element of a parent.
    std::string place_;
    PlaceOf place_of_ = nullptr;
    const void* context_ = nullptr;
    const JsonReader* parent_ = nullptr;
    const char* key_ = nullptr;
    std::size_t index_ = 0;
    std::vector<const char*> taken_;
};

/// The elements JsonReader::object_list makes before reading their members: a charge to fill
/// in; the agent of the kind that the object's "name" names (unknown names are refused).
Charge new_list_element(JsonReader& item, const Charge* kind);
std::shared_ptr<MagicianAgent> new_list_element(JsonReader& item,
                                                const std::shared_ptr<MagicianAgent>* kind);

} // namespace orv
