// The roster of kinds by display name: how an agent named in a text is made again.
#include <memory>
#include <string>
#include <vector>

#include "orv/agents.hpp"

namespace orv {

namespace {

template <class Kind>
std::shared_ptr<MagicianAgent> make_kind(std::string visual_id) {
    return std::make_shared<Kind>(std::move(visual_id));
}

struct Kind {
    const char* name;
    std::shared_ptr<MagicianAgent> (*make)(std::string visual_id);
};

std::shared_ptr<MagicianAgent> make_equals_gate(std::string visual_id) {
    return std::make_shared<EqualsGate>(std::move(visual_id), 0.0);
}

std::shared_ptr<MagicianAgent> make_inequality_gate(std::string visual_id) {
    return std::make_shared<InequalityGate>(std::move(visual_id), 0.0,
                                            InequalityGate::ComparisonType::LESS_THAN);
}

const Kind kKinds[] = {
    {"Plus Magician", &make_kind<PlusMagician>},
    {"Minus Magician", &make_kind<MinusMagician>},
    {"Multiply Magician", &make_kind<MultiplyMagician>},
    {"Divide Magician", &make_kind<DivideMagician>},
    {"The Scavenger", &make_kind<ModuloMagician>},
    {"Power Sorcerer", &make_kind<PowerSorcerer>},
    {"The Extractor", &make_kind<RootMagician>},
    {"The Architect", &make_kind<LogMagician>},
    {"The Replicator", &make_kind<FactorialMagician>},
    {"The Purifier", &make_kind<AbsMagician>},
    {"Chronomancer", &make_kind<Chronomancer>},
    {"Equals Gate", &make_equals_gate},
    {"The Judge", &make_inequality_gate},
};

} // namespace

std::shared_ptr<MagicianAgent> make_agent(const std::string& name, std::string visual_id) {
    for (const Kind& kind : kKinds) {
        if (name == kind.name) {
            return kind.make(std::move(visual_id));
        }
    }
    return nullptr;
}

std::vector<std::string> agent_kind_names() {
    std::vector<std::string> names;
    for (const Kind& kind : kKinds) {
        names.emplace_back(kind.name);
    }
    return names;
}

bool is_goal_gate(const MagicianAgent& agent) {
    return dynamic_cast<const GoalGate*>(&agent) != nullptr;
}

} // namespace orv
