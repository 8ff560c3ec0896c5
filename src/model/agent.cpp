#include "orv/agent.hpp"

#include "orv/json_fields.hpp"

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

void MagicianAgent::describe_json(JsonFields& fields) const {
    fields.string("name", name);
    fields.integer("priority", priority);
    fields.word("state", agent_state_text(state));
    fields.string("visual_id", visual_id);
}

nlohmann::json MagicianAgent::to_json() const { return json_value_of(*this); }

void MagicianAgent::write_json(JsonTextWriter& out) const { write_json_of(out, *this); }

} // namespace orv
