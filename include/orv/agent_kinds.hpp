#pragma once

// The table of agent kinds: each kind's fixed identity and its rule in words, in one place.
// The Python module registers its add_* methods from it, the package's roster and rules text
// are made from its JSON, and the browser build hands the same JSON to the page.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace orv {

class MagicianAgent;

/// What placing an agent of a kind takes besides its visual id.
enum class KindGoal {
    /// Nothing: an agent that casts spells (or never casts).
    none,
    /// A target: the Equals Gate.
    target,
    /// A target and a comparison text: The Judge.
    target_and_rule,
};

/// One agent kind. Each kind defines its entry beside its spell (`kind` in agents.hpp).
struct AgentKind {
    /// The display name: the agent's "name" in JSON and the agent_name of its events.
    const char* name;
    /// The Environment method of the Python module that places one.
    const char* add_method;
    /// Where that method stands among the thirteen, counted from 0.
    int method_order;
    std::int32_t priority;
    KindGoal goal;
    /// The fewest charges on which its spell can take effect (0 for the Chronomancer, which
    /// never casts).
    std::size_t min_charges;
    /// What it reads, in words.
    const char* operands;
    /// What it leaves, in words.
    const char* result;
    /// The visual id prefix of the charges it makes; "" when it makes none.
    const char* prefix;
    /// A new agent of the kind, dormant; a gate aims at 0 (The Judge with "<").
    std::shared_ptr<MagicianAgent> (*make)(std::string visual_id);

    bool is_gate() const { return goal != KindGoal::none; }
};

/// The `make` of a kind that takes only a visual id.
template <class Kind>
std::shared_ptr<MagicianAgent> make_agent_of(std::string visual_id) {
    return std::make_shared<Kind>(std::move(visual_id));
}

/// Every kind, in the roster's order (Plus Magician first, The Judge last).
const std::vector<const AgentKind*>& agent_kinds();

/// The kind whose display name is `name`, or null.
const AgentKind* find_agent_kind(std::string_view name);

/// The table as JSON, in the roster's order: per kind "name", "add_method", "priority",
/// "is_gate", "arguments" (the placing method's, after the zone), "min_charges",
/// "operands", "result", "prefix" and "declines" (every reason its spell gives for not
/// casting, numbers as [placeholders]).
nlohmann::json agent_kinds_json();

/// The fixed numbers and words of the rules as JSON: "step_budget", "zero_tolerance",
/// "equals_tolerance", "first_infinite_factorial", and the texts of "comparison_rules" (The
/// Judge's), "polarities" and "agent_states".
nlohmann::json rule_constants_json();

} // namespace orv
