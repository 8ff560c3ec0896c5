#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "orv/json_fields.hpp"

namespace orv {

/// The third reader of a description: it keeps each member's key and the kind of its value
/// ("number", "integer", "boolean", "string", "word", "null", "object", "list"), so that
/// tools outside the engine read files with the engine's own list of fields.
class JsonKeyList final : public JsonFields {
public:
    void number(const char* key, double /*value*/) override { keys_[key] = "number"; }
    void integer(const char* key, std::int64_t /*value*/) override { keys_[key] = "integer"; }
    void boolean(const char* key, bool /*value*/) override { keys_[key] = "boolean"; }
    void string(const char* key, const std::string& /*value*/) override {
        keys_[key] = "string";
    }
    void word(const char* key, const char* /*value*/) override { keys_[key] = "word"; }
    void null(const char* key) override { keys_[key] = "null"; }
    void object(const char* key, const Describe& /*describe*/) override {
        keys_[key] = "object";
    }
    using JsonFields::word;

    template <class DescribeItem>
    void objects(const char* key, std::size_t /*count*/, DescribeItem&& /*describe*/) {
        keys_[key] = "list";
    }
    template <class List, class DescribeElement>
    void object_list(const char* key, const List& /*list*/, DescribeElement&& /*describe*/) {
        keys_[key] = "list";
    }
    template <class DescribeMembers>
    void reusable(CachedText& /*cache*/, DescribeMembers&& describe) {
        describe(*this);
    }

    /// {key: kind} of the members described so far.
    const nlohmann::json& keys() const { return keys_; }

private:
    nlohmann::json keys_ = nlohmann::json::object();
};

} // namespace orv
