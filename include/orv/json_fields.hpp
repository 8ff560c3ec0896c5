#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include <nlohmann/json.hpp>

#include "orv/json_text.hpp"

namespace orv {

/// Receives the members of one JSON object, in ascending key order. Each type describes its
/// JSON form once, as calls on a JsonFields; the JSON value (JsonValueFields) and its compact
/// text (JsonTextFields) are both made from that one description.
class JsonFields {
public:
    using Describe = std::function<void(JsonFields&)>;
    using DescribeItem = std::function<void(std::size_t, JsonFields&)>;

    virtual ~JsonFields() = default;

    /// A floating-point number: 5 is 5.0; NaN and infinities are null.
    virtual void number(const char* key, double value) = 0;
    virtual void integer(const char* key, std::int64_t value) = 0;
    virtual void boolean(const char* key, bool value) = 0;
    virtual void string(const char* key, const std::string& value) = 0;
    /// One of the engine's fixed words: plain ASCII that needs no escapes.
    virtual void word(const char* key, const char* value) = 0;
    virtual void null(const char* key) = 0;
    /// A nested object whose members `describe` gives.
    virtual void object(const char* key, const Describe& describe) = 0;
    /// An array of `count` objects; `describe(index, fields)` gives the members of each.
    virtual void objects(const char* key, std::size_t count, const DescribeItem& describe) = 0;
    /// Members given by `describe` (at least one, always at the same place of the object),
    /// whose text `cache` may keep and reuse until they change. The JSON value ignores it.
    virtual void reusable(CachedText& cache, const Describe& describe) = 0;
};

/// Builds the JSON value of an object from its description.
class JsonValueFields final : public JsonFields {
public:
    void number(const char* key, double value) override { object_[key] = value; }
    void integer(const char* key, std::int64_t value) override { object_[key] = value; }
    void boolean(const char* key, bool value) override { object_[key] = value; }
    void string(const char* key, const std::string& value) override { object_[key] = value; }
    void word(const char* key, const char* value) override { object_[key] = value; }
    void null(const char* key) override { object_[key] = nullptr; }
    void object(const char* key, const Describe& describe) override;
    void objects(const char* key, std::size_t count, const DescribeItem& describe) override;
    void reusable(CachedText& /*cache*/, const Describe& describe) override { describe(*this); }

    /// The object built so far; the fields are left empty.
    nlohmann::json take() { return std::move(object_); }

private:
    nlohmann::json object_ = nlohmann::json::object();
};

/// Writes the compact text of an object from its description, byte for byte the dump of what
/// JsonValueFields builds. The members go straight out; `close` ends the object.
class JsonTextFields final : public JsonFields {
public:
    explicit JsonTextFields(JsonTextWriter& out) : out_(out) {}

    void number(const char* key, double value) override;
    void integer(const char* key, std::int64_t value) override;
    void boolean(const char* key, bool value) override;
    void string(const char* key, const std::string& value) override;
    void word(const char* key, const char* value) override;
    void null(const char* key) override;
    void object(const char* key, const Describe& describe) override;
    void objects(const char* key, std::size_t count, const DescribeItem& describe) override;
    void reusable(CachedText& cache, const Describe& describe) override;

    /// Writes the key of a member whose value the caller then writes through `out`.
    void key(const char* name);
    void close();

private:
    JsonTextWriter& out_;
    bool opened_ = false;
};

/// The JSON value of anything with `describe_json(JsonFields&) const`.
template <class Described>
nlohmann::json json_value_of(const Described& described) {
    JsonValueFields fields;
    described.describe_json(fields);
    return fields.take();
}

/// Appends the compact text of anything with `describe_json(JsonFields&) const`.
template <class Described>
void write_json_of(JsonTextWriter& out, const Described& described) {
    JsonTextFields fields(out);
    described.describe_json(fields);
    fields.close();
}

} // namespace orv
