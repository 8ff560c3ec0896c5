#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "orv/charge.hpp"
#include "orv/enum_words.hpp"
#include "orv/json_text.hpp"

namespace orv {

class JsonFields;
class JsonReader;
struct SpellEffect;
struct AgentKind;

/// Where an agent stands in the current frame. Values outside the three enumerators can be
/// stored and dump as "dormant".
enum class AgentState : std::int32_t {
    DORMANT = 0,
    ACTIVE = 1,
    FROZEN = 2,
};

/// "dormant", "active" or "frozen"; every out-of-range value reads "dormant".
const char* agent_state_text(AgentState state);

inline constexpr EnumWords<AgentState, 3> kAgentStateWords{
    &agent_state_text, {AgentState::DORMANT, AgentState::ACTIVE, AgentState::FROZEN}};

/// Abstract base of every agent kind. Agents live in zones' agent lists (shared ownership)
/// and are never handed to Python; their name and priority are fixed by their kind.
class MagicianAgent {
public:
    MagicianAgent(std::string name_, int priority_, std::string visual_id_);
    /// An agent of `kind`, with its display name and priority.
    MagicianAgent(const AgentKind& kind, std::string visual_id_);
    virtual ~MagicianAgent() = default;

    MagicianAgent(const MagicianAgent&) = delete;
    MagicianAgent& operator=(const MagicianAgent&) = delete;

    /// Acts on the charge list of the zone holding the agent. True: the spell took effect
    /// (the list may have changed). False: it did not apply and the list is exactly as it was.
    virtual bool CastSpell(std::vector<Charge>& charges) = 0;
    /// CastSpell that also tells `effect`, when the spell takes effect, which charges it
    /// consumed and produced and its arithmetic in words. The charges end exactly as
    /// CastSpell leaves them.
    virtual bool CastSpell(std::vector<Charge>& charges, SpellEffect& effect) = 0;

    /// Why CastSpell would decline on `charges` as they stand, in a few words ("needs 2
    /// charges, has 1"); empty exactly when the spell would take effect. Changes nothing.
    virtual std::string decline_reason(const std::vector<Charge>& charges) const = 0;
    /// Every reason decline_reason can give, with the numbers it fills in as [placeholders].
    virtual std::vector<std::string> decline_reasons() const = 0;

    /// {"name", "priority" (integer), "state", "visual_id"}; gates add their own members.
    virtual nlohmann::json to_json() const;
    /// Appends the text of to_json() without building the value.
    void write_json(JsonTextWriter& out) const;
    /// The members of both, in key order. A kind with members of its own overrides this, and
    /// both routes follow.
    virtual void describe_json(JsonFields& fields) const;
    /// Reads the members back from the text of to_json() through the same description;
    /// std::invalid_argument for bad text. The kind is chosen by "name" beforehand.
    virtual void describe_json(JsonReader& fields);

    /// Order of trial within a frame: higher first.
    std::int32_t priority;
    /// Display name of the kind; the agent_name of its events.
    std::string name;
    /// The game's identifier for the agent; result charges are named after it.
    std::string visual_id;
    AgentState state;

protected:
    /// The members every kind shares, in key order. `Self` is const when writing; each
    /// describe_json is this list, or a kind's own list that merges its members in.
    template <class Self, class Fields>
    static void fields_of(Self& agent, Fields& fields) {
        fields.string("name", agent.name);
        fields.integer("priority", agent.priority);
        fields.word("state", agent.state, kAgentStateWords);
        fields.string("visual_id", agent.visual_id);
    }
};

/// A new agent of the kind whose display name is `name`, dormant, with `visual_id`; a gate
/// aims at 0 (an InequalityGate with LESS_THAN). Null for a name that is no kind's.
std::shared_ptr<MagicianAgent> make_agent(const std::string& name, std::string visual_id);

/// Whether `agent` is one of the two goal gates.
bool is_goal_gate(const MagicianAgent& agent);

} // namespace orv
