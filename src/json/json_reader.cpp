#include "orv/json_reader.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace orv {

namespace {

const char* type_name(const nlohmann::json& value) {
    return value.is_number() ? "a number" : value.is_string() ? "a string"
        : value.is_boolean()  ? "a boolean"
        : value.is_array()    ? "an array"
        : value.is_object()   ? "an object"
                              : "null";
}

} // namespace

JsonReader::JsonReader(const nlohmann::json& object, std::string place)
    : object_(object), place_(std::move(place)) {
    refuse_non_object();
}

JsonReader::JsonReader(const nlohmann::json& object, PlaceOf place_of, const void* context)
    : object_(object), place_of_(place_of), context_(context) {
    refuse_non_object();
}

JsonReader::JsonReader(const nlohmann::json& object, const JsonReader& parent, const char* key,
                       std::size_t index)
    : object_(object), parent_(&parent), key_(key), index_(index) {
    refuse_non_object();
}

void JsonReader::refuse_non_object() const {
    if (!object_.is_object()) {
        throw std::invalid_argument(place() + ": expected an object, got " + type_name(object_));
    }
}

std::string JsonReader::place() const {
    if (parent_ != nullptr) {
        return parent_->item_place(key_, index_);
    }
    return place_of_ != nullptr ? place_of_(context_) : place_;
}

const nlohmann::json& JsonReader::member(const char* key) {
    const auto found = object_.find(key);
    if (found == object_.end()) {
        throw std::invalid_argument(place() + ": the member \"" + key + "\" is missing");
    }
    taken_.push_back(key);
    return *found;
}

void JsonReader::fail_member(const char* key, const std::string& problem) const {
    const auto found = object_.find(key);
    const std::string shown = found == object_.end() ? "" : " (" + found->dump(-1, ' ', false,
        nlohmann::json::error_handler_t::replace) + ")";
    throw std::invalid_argument(place() + ": \"" + key + "\"" + shown + " " + problem);
}

void JsonReader::number(const char* key, double& value) {
    const nlohmann::json& found = member(key);
    if (found.is_null()) {
        value = std::numeric_limits<double>::quiet_NaN();
        return;
    }
    if (!found.is_number()) {
        fail_member(key, std::string("must be a number or null, not ") + type_name(found));
    }
    value = found.get<double>();
}

void JsonReader::integer(const char* key, std::int32_t& value) {
    const nlohmann::json& found = member(key);
    if (!found.is_number_integer()) {
        fail_member(key, "must be an integer");
    }
    // Non-negative integers are read as unsigned, which may exceed every signed type.
    const bool too_large = found.is_number_unsigned() &&
                           found.get<std::uint64_t>() > std::numeric_limits<std::int32_t>::max();
    const auto wide = too_large ? 0 : found.get<std::int64_t>();
    if (too_large || wide < std::numeric_limits<std::int32_t>::min() ||
        wide > std::numeric_limits<std::int32_t>::max()) {
        fail_member(key, "is out of the range of a 32-bit integer");
    }
    value = static_cast<std::int32_t>(wide);
}

void JsonReader::boolean(const char* key, bool& value) {
    const nlohmann::json& found = member(key);
    if (!found.is_boolean()) {
        fail_member(key, std::string("must be a boolean, not ") + type_name(found));
    }
    value = found.get<bool>();
}

const std::string& JsonReader::string_member(const char* key) {
    const nlohmann::json& found = member(key);
    if (!found.is_string()) {
        fail_member(key, std::string("must be a string, not ") + type_name(found));
    }
    return found.get_ref<const std::string&>();
}

void JsonReader::string(const char* key, std::string& value) { value = string_member(key); }

const nlohmann::json& JsonReader::array(const char* key) {
    const nlohmann::json& found = member(key);
    if (!found.is_array()) {
        fail_member(key, std::string("must be an array, not ") + type_name(found));
    }
    return found;
}

void JsonReader::finish() const {
    for (const auto& item : object_.items()) {
        const bool taken = std::any_of(taken_.begin(), taken_.end(), [&](const char* key) {
            return item.key() == key;
        });
        if (!taken) {
            throw std::invalid_argument(
                place() + ": unknown member " +
                nlohmann::json(item.key()).dump(-1, ' ', false,
                                                nlohmann::json::error_handler_t::replace));
        }
    }
}

std::string JsonReader::item_place(const char* key, std::size_t index) const {
    return place() + "." + key + "[" + std::to_string(index) + "]";
}

} // namespace orv
