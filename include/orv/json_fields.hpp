#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include <nlohmann/json.hpp>

#include "orv/enum_words.hpp"
#include "orv/interrupt.hpp"
#include "orv/json_text.hpp"

namespace orv {

/// Receives the members of one JSON object, in ascending key order. Each type describes its
/// JSON form once, as calls on a JsonFields; the JSON value (JsonValueFields) and its compact
/// text (JsonTextFields) are both made from that one description. Kinds chosen at run time
/// (the agents) describe themselves through this interface; the plentiful values (charges,
/// zones) through templates on the two concrete classes, which also offer `objects` (an array
/// of objects) and `reusable` (members whose text may be kept), so that their text is written
/// without a virtual call per member.
class JsonFields {
public:
    using Describe = std::function<void(JsonFields&)>;

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
    /// An enumeration as its word.
    template <class Enum, std::size_t Count>
    void word(const char* key, Enum value, const EnumWords<Enum, Count>& words) {
        word(key, words.text(value));
    }

    // Also offered by both concrete classes, as templates:
    //   objects(key, count, describe): an array of `count` objects, `describe(index, fields)`
    //     giving the members of each;
    //   object_list(key, list, describe): the array of the objects of a vector's elements,
    //     `describe(element, fields)` giving the members of each (JsonReader fills the vector);
    //   reusable(cache, describe): members given by `describe(fields)` (at least one, always at
    //     the same place of the object), whose text `cache` may keep and reuse until they
    //     change. The JSON value ignores the cache.
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
    using JsonFields::word;

    template <class DescribeItem>
    void objects(const char* key, std::size_t count, DescribeItem&& describe) {
        nlohmann::json items = nlohmann::json::array();
        for (std::size_t index = 0; index < count; ++index) {
            check_interrupt();
            JsonValueFields item;
            describe(index, item);
            items.push_back(item.take());
        }
        object_[key] = std::move(items);
    }
    template <class List, class DescribeElement>
    void object_list(const char* key, const List& list, DescribeElement&& describe) {
        objects(key, list.size(),
                [&](std::size_t index, JsonValueFields& item) { describe(list[index], item); });
    }
    template <class DescribeMembers>
    void reusable(CachedText& /*cache*/, DescribeMembers&& describe) {
        describe(*this);
    }

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

    void number(const char* key, double value) override {
        this->key(key);
        out_.number(value);
    }
    void integer(const char* key, std::int64_t value) override {
        this->key(key);
        out_.integer(value);
    }
    void boolean(const char* key, bool value) override {
        this->key(key);
        out_.boolean(value);
    }
    void string(const char* key, const std::string& value) override {
        this->key(key);
        out_.string(value);
    }
    void word(const char* key, const char* value) override {
        this->key(key);
        out_.word(value);
    }
    void null(const char* key) override {
        this->key(key);
        out_.raw("null");
    }
    void object(const char* key, const Describe& describe) override;
    using JsonFields::word;

    template <class DescribeItem>
    void objects(const char* key, std::size_t count, DescribeItem&& describe) {
        this->key(key);
        out_.raw('[');
        for (std::size_t index = 0; index < count; ++index) {
            check_interrupt();
            if (index > 0) {
                out_.raw(',');
            }
            JsonTextFields item(out_);
            describe(index, item);
            item.close();
        }
        out_.raw(']');
    }
    template <class List, class DescribeElement>
    void object_list(const char* key, const List& list, DescribeElement&& describe) {
        objects(key, list.size(),
                [&](std::size_t index, JsonTextFields& item) { describe(list[index], item); });
    }
    template <class DescribeMembers>
    void reusable(CachedText& cache, DescribeMembers&& describe) {
        out_.cached(cache, [&](JsonTextWriter&) { describe(*this); });
        opened_ = true; // a reused text holds at least one member, as the text it copies did
    }

    /// Writes the key of a member whose value the caller then writes through `out`.
    void key(const char* name) {
        out_.member_key(!opened_, name);
        opened_ = true;
    }
    void close() {
        if (!opened_) {
            out_.raw('{');
        }
        out_.raw('}');
    }

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
