#include "orv/json_fields.hpp"

namespace orv {

void JsonValueFields::object(const char* key, const Describe& describe) {
    JsonValueFields inner;
    describe(inner);
    object_[key] = inner.take();
}

void JsonTextFields::object(const char* key, const Describe& describe) {
    this->key(key);
    JsonTextFields inner(out_);
    describe(inner);
    inner.close();
}

} // namespace orv
