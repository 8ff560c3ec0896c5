#include "orv/charge.hpp"

#include <nlohmann/json.hpp>

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

bool is_negative(const Charge& charge) { return charge.polarity == ChargePolarity::NEGATIVE; }

nlohmann::json Charge::to_json() const {
    nlohmann::json object = nlohmann::json::object();
    // Stored as a JSON float even when integral, so 5 dumps as 5.0.
    object["magnitude"] = nlohmann::json(magnitude);
    object["polarity"] = polarity_text(polarity);
    object["visual_id"] = visual_id;
    return object;
}

void Charge::write_json(JsonTextWriter& out) const {
    out.raw("{\"magnitude\":");
    out.number(magnitude);
    out.raw(",\"polarity\":\"");
    out.raw(polarity_text(polarity));
    out.raw("\",\"visual_id\":");
    out.string(visual_id);
    out.raw('}');
}

} // namespace orv
