#include "orv/charge.hpp"

#include "orv/json_fields.hpp"
#include "orv/json_reader.hpp"

namespace orv {

const char* polarity_text(ChargePolarity polarity) {
    switch (polarity) {
    case ChargePolarity::POSITIVE:
        return "positive";
    case ChargePolarity::NEGATIVE:
        return "negative";
    case ChargePolarity::NEUTRAL:
        break;
    }
    return "neutral";
}

double signed_value(const Charge& charge) {
    return charge.polarity == ChargePolarity::POSITIVE ? charge.magnitude : -charge.magnitude;
}

double signed_total(const std::vector<Charge>& charges) {
    double total = 0.0;
    for (const Charge& charge : charges) {
        total += signed_value(charge);
    }
    return total;
}

bool is_negative(const Charge& charge) { return charge.polarity == ChargePolarity::NEGATIVE; }

nlohmann::json Charge::to_json() const { return json_value_of(*this); }

void Charge::write_json(JsonTextWriter& out) const { write_json_of(out, *this); }

void Charge::describe_json(JsonReader& fields) { fields_of(*this, fields); }

} // namespace orv
