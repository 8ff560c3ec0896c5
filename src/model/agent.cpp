#include "orv/agent.hpp"

#include "orv/agent_kinds.hpp"

#include "orv/json_fields.hpp"
#include "orv/json_reader.hpp"

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

MagicianAgent::MagicianAgent(const AgentKind& kind, std::string visual_id_)
    : MagicianAgent(kind.name, kind.priority, std::move(visual_id_)) {}

void MagicianAgent::describe_json(JsonFields& fields) const { fields_of(*this, fields); }

void MagicianAgent::describe_json(JsonReader& fields) { fields_of(*this, fields); }

nlohmann::json MagicianAgent::to_json() const { return json_value_of(*this); }

void MagicianAgent::write_json(JsonTextWriter& out) const { write_json_of(out, *this); }

} // namespace orv
