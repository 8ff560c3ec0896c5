// What Python cannot reach: the event-type variables and values outside an enumeration.
#include <memory>

#include <nlohmann/json.hpp>

#include "check.hpp"
#include "orv/agents.hpp"
#include "orv/environment.hpp"
#include "orv/frame_event.hpp"
#include "orv/sequencer.hpp"

namespace {

/// A top zone whose one PlusMagician casts in the first frame.
std::shared_ptr<orv::Environment> level_with_one_spell() {
    auto top = std::make_shared<orv::Environment>("core");
    top->add_charge(orv::Charge(1, orv::ChargePolarity::POSITIVE, "a"));
    top->add_charge(orv::Charge(2, orv::ChargePolarity::POSITIVE, "b"));
    top->add_magician(std::make_shared<orv::PlusMagician>("p7"));
    return top;
}

/// Restores an event-type variable when the test ends, whatever happens.
struct VariableRestorer {
    const char*& variable;
    const char* saved = variable;
    ~VariableRestorer() { variable = saved; }
};

} // namespace

TEST_CASE("a reassigned event-type variable names the events recorded after it") {
    VariableRestorer restore{orv::ORV_FRAME_EVENT_CAST_SPELL};
    orv::NarrativeSequencer sequencer(level_with_one_spell());
    orv::ORV_FRAME_EVENT_CAST_SPELL = "SPELL!";
    const nlohmann::json frame = sequencer.NextFrame();
    CHECK(frame["meta"]["last_event"]["type"] == "SPELL!");
    CHECK(frame["meta"]["status"] == "RUNNING");
}

TEST_CASE("a recorded event keeps its copy of the type text") {
    VariableRestorer restore{orv::ORV_FRAME_EVENT_CAST_SPELL};
    orv::NarrativeSequencer sequencer(level_with_one_spell());
    sequencer.NextFrame();
    orv::ORV_FRAME_EVENT_CAST_SPELL = "CHANGED";
    CHECK(sequencer.last_event.has_value());
    CHECK(sequencer.last_event->type == "CAST_SPELL");
}

TEST_CASE("statuses follow the running and finished variables") {
    VariableRestorer restore_running{orv::ORV_FRAME_EVENT_RUNNING};
    VariableRestorer restore_finished{orv::ORV_FRAME_EVENT_FINISHED};
    orv::ORV_FRAME_EVENT_RUNNING = "GOING";
    orv::ORV_FRAME_EVENT_FINISHED = "DONE";
    orv::NarrativeSequencer sequencer(level_with_one_spell());
    CHECK(sequencer.NextFrame()["meta"]["status"] == "GOING");
    const nlohmann::json end = sequencer.NextFrame();
    CHECK(end["meta"]["status"] == "DONE");
    CHECK(end["meta"]["last_event"]["type"] == "DONE");
}

TEST_CASE("an event-type variable set to null reads as the empty text") {
    VariableRestorer restore{orv::ORV_FRAME_EVENT_COLLAPSE_ZONE};
    orv::ORV_FRAME_EVENT_COLLAPSE_ZONE = nullptr;
    auto top = std::make_shared<orv::Environment>("top");
    auto inner = std::make_shared<orv::Environment>("inner");
    inner->add_charge(orv::Charge(1, orv::ChargePolarity::POSITIVE, "a"));
    top->add_environment(inner);
    orv::NarrativeSequencer sequencer(top);
    CHECK(sequencer.NextFrame()["meta"]["last_event"]["type"] == "");
}

TEST_CASE("the level-complete text is exported but never produced") {
    CHECK(std::string(orv::ORV_FRAME_EVENT_LEVEL_COMPLETE) == "LEVEL_COMPLETE");
    CHECK(std::string(orv::ORV_FRAME_EVENT_ERROR) == "ERROR");
}

TEST_CASE("agent states outside the enumeration are written dormant") {
    orv::Chronomancer agent("c");
    agent.state = static_cast<orv::AgentState>(7);
    CHECK(agent.to_json()["state"] == "dormant");
    agent.state = orv::AgentState::FROZEN;
    CHECK(agent.to_json()["state"] == "frozen");
}

TEST_CASE("polarities outside the enumeration are written neutral and count negative") {
    const orv::Charge charge(2, static_cast<orv::ChargePolarity>(-4), "c");
    CHECK(charge.to_json()["polarity"] == "neutral");
    CHECK(orv::signed_value(charge) == -2.0);
    CHECK(!orv::is_negative(charge));
}

TEST_CASE("comparison types outside the enumeration compare and read as less-than") {
    orv::InequalityGate gate("j", 5, static_cast<orv::InequalityGate::ComparisonType>(9));
    CHECK(gate.to_json()["rule"] == "<");
    std::vector<orv::Charge> charges{orv::Charge(5, orv::ChargePolarity::POSITIVE, "a")};
    CHECK(!gate.CastSpell(charges));
    charges.front().magnitude = 4.5;
    CHECK(gate.CastSpell(charges));
}

TEST_CASE("empty references are refused and never stored") {
    orv::Environment zone("z");
    bool refused_agent = false;
    bool refused_zone = false;
    try {
        zone.add_magician(nullptr);
    } catch (const std::invalid_argument&) {
        refused_agent = true;
    }
    try {
        zone.add_environment(nullptr);
    } catch (const std::invalid_argument&) {
        refused_zone = true;
    }
    CHECK(refused_agent && refused_zone);
    CHECK(zone.agents.empty() && zone.sub_environments.empty());
}
