#include "orv/json_fields.hpp"

#include "orv/interrupt.hpp"

namespace orv {

void JsonValueFields::object(const char* key, const Describe& describe) {
    JsonValueFields inner;
    describe(inner);
    object_[key] = inner.take();
}

void JsonValueFields::objects(const char* key, std::size_t count, const DescribeItem& describe) {
    nlohmann::json items = nlohmann::json::array();
    for (std::size_t index = 0; index < count; ++index) {
        check_interrupt();
        JsonValueFields item;
        describe(index, item);
        items.push_back(item.take());
    }
    object_[key] = std::move(items);
}

void JsonTextFields::key(const char* name) {
    out_.member_key(!opened_, name);
    opened_ = true;
}

void JsonTextFields::close() {
    if (!opened_) {
        out_.raw('{');
    }
    out_.raw('}');
}

void JsonTextFields::number(const char* key, double value) {
    this->key(key);
    out_.number(value);
}

void JsonTextFields::integer(const char* key, std::int64_t value) {
    this->key(key);
    out_.integer(value);
}

void JsonTextFields::boolean(const char* key, bool value) {
    this->key(key);
    out_.boolean(value);
}

void JsonTextFields::string(const char* key, const std::string& value) {
    this->key(key);
    out_.string(value);
}

void JsonTextFields::word(const char* key, const char* value) {
    this->key(key);
    out_.word(value);
}

void JsonTextFields::null(const char* key) {
    this->key(key);
    out_.raw("null");
}

void JsonTextFields::object(const char* key, const Describe& describe) {
    this->key(key);
    JsonTextFields inner(out_);
    describe(inner);
    inner.close();
}

void JsonTextFields::objects(const char* key, std::size_t count, const DescribeItem& describe) {
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

void JsonTextFields::reusable(CachedText& cache, const Describe& describe) {
    out_.cached(cache, [&](JsonTextWriter&) { describe(*this); });
    opened_ = true; // a reused text holds at least one member, as the text it copies did
}

} // namespace orv
