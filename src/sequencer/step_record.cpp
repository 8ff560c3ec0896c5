#include "orv/step_record.hpp"

#include <cmath>

#include <nlohmann/json.hpp>

namespace orv {

namespace {

nlohmann::json place_json(const std::optional<ZonePlace>& place) {
    if (!place) {
        return nullptr;
    }
    return {{"id", place->id}, {"ids", place->ids}, {"path", place->path}};
}

nlohmann::json charges_json(const std::vector<Charge>& charges) {
    nlohmann::json list = nlohmann::json::array();
    for (const Charge& charge : charges) {
        list.push_back(charge.to_json());
    }
    return list;
}

/// A number as the frames write it: NaN and infinities are null.
nlohmann::json number_json(double value) {
    return std::isfinite(value) ? nlohmann::json(value) : nlohmann::json(nullptr);
}

} // namespace

const char* step_kind_text(StepRecord::Kind kind) {
    switch (kind) {
    case StepRecord::Kind::spell:
        return "spell";
    case StepRecord::Kind::gate:
        return "gate";
    case StepRecord::Kind::collapse:
        return "collapse";
    case StepRecord::Kind::end:
        return "end";
    case StepRecord::Kind::budget:
        return "budget";
    case StepRecord::Kind::none:
        break;
    }
    return "none";
}

nlohmann::json StepRecord::to_json() const {
    const bool acted = kind == Kind::spell || kind == Kind::gate;
    nlohmann::json agent = nullptr;
    if (acted) {
        agent = {{"name", agent_name}, {"visual_id", agent_visual_id}};
        if (kind == Kind::gate) {
            agent["rule"] = rule;
            agent["target"] = number_json(target);
        }
    }
    return {{"agent", std::move(agent)},
            {"consumed", charges_json(consumed)},
            {"frame", frame},
            {"parent", place_json(parent)},
            {"produced", charges_json(produced)},
            {"step", step_kind_text(kind)},
            {"text", text},
            {"total", kind == Kind::gate ? number_json(total) : nlohmann::json(nullptr)},
            {"zone", place_json(zone)}};
}

} // namespace orv
