#include "orv/agent.hpp"

#include <nlohmann/json.hpp>

namespace orv {

const char* agent_state_text(AgentState state) {
    switch (state) {
    case AgentState::ACTIVE:
        return "active";
    case AgentState::FROZEN:
        return "frozen";
    case AgentState::DORMANT:
        break;
    }
    return "dormant";
}

MagicianAgent::MagicianAgent(std::string name_, int priority_, std::string visual_id_)
    : priority(priority_), name(std::move(name_)), visual_id(std::move(visual_id_)),
      state(AgentState::DORMANT) {}

nlohmann::json MagicianAgent::to_json() const {
    nlohmann::json object = nlohmann::json::object();
    object["name"] = name;
    object["priority"] = priority;
    object["state"] = agent_state_text(state);
    object["visual_id"] = visual_id;
    return object;
}

void MagicianAgent::write_json(JsonTextWriter& out) const {
    out.raw("{\"name\":");
    out.string(name);
    out.raw(",\"priority\":");
    out.integer(priority);
    out.raw(",\"state\":\"");
    out.raw(agent_state_text(state));
    out.raw("\",\"visual_id\":");
    out.string(visual_id);
    out.raw('}');
}

} // namespace orv
