// Reading a zone tree back from its text, and running a level to its end without texts: each
// is compared with the route that the rest of the engine takes.
#include <memory>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "check.hpp"
#include "level_generator.hpp"
#include "orv/agents.hpp"
#include "orv/environment.hpp"
#include "orv/sequencer.hpp"

namespace {

using Json = nlohmann::json;
using orv::testing::LevelGenerator;

/// The text of a tree, invalid UTF-8 shown as U+FFFD so that every level can be compared.
std::string shown(const orv::Environment& zone) {
    return zone.to_json().dump(-1, ' ', false, Json::error_handler_t::replace);
}

/// The message of the std::invalid_argument that reading `text` throws, or "" if none.
std::string reading_error(const std::string& text) {
    try {
        orv::Environment::from_json_text(text);
    } catch (const std::invalid_argument& error) {
        return error.what();
    }
    return "";
}

/// A level of one top zone holding `agent` (a JSON object text) and one charge.
std::string level_with_agent(const std::string& agent) {
    return R"({"agents":[)" + agent +
           R"(],"charges":[{"magnitude":1.0,"polarity":"positive","visual_id":"c"}],)"
           R"("id":"top","is_time_frozen":false,"sub_environments":[]})";
}

} // namespace

TEST_CASE("a tree read back from its text writes the same text, before and during its run") {
    int compared = 0;
    for (std::uint32_t seed = 0; seed < 1500; ++seed) {
        LevelGenerator generator(seed);
        orv::NarrativeSequencer sequencer(generator.level());
        // Mid-run trees too: active agents, open gates, frozen zones, collapsed sub-zones.
        for (int frame = 0; frame < 4 && !sequencer.is_finished; ++frame) {
            const Json value = sequencer.root_environment->to_json();
            std::string text;
            try {
                text = value.dump();
            } catch (const Json::type_error&) {
                break; // invalid UTF-8 has no text to read
            }
            const auto read = orv::Environment::from_json_text(text);
            CHECK(read->to_json().dump() == text);
            CHECK(shown(*orv::Environment::from_json(value)) == text);
            ++compared;
            sequencer.NextFrame();
        }
    }
    CHECK(compared > 3000);
}

TEST_CASE("bad level text is refused with the place of the fault") {
    const std::string zone_tail = R"("id":"z","is_time_frozen":false,"sub_environments":[]})";
    const struct {
        std::string text;
        std::string message;
    } cases[] = {
        {"{\"agents\":", "level text is not JSON"},
        {"[]", "level: expected an object, got an array"},
        {R"({"agents":[],"charges":[],"id":"z","sub_environments":[]})",
         "level: the member \"is_time_frozen\" is missing"},
        {R"({"agents":[],"charges":[],"colour":1,)" + zone_tail,
         "level: unknown member \"colour\""},
        {R"({"agents":[],"charges":[],"id":"z","is_time_frozen":false,"sub_environments":[7]})",
         "level.sub_environments[0]: expected an object, got a number"},
        {R"({"agents":[],"charges":[],"id":5,"is_time_frozen":false,"sub_environments":[]})",
         "level: \"id\" (5) must be a string, not a number"},
        {level_with_agent(R"({"name":"Equals Gate","priority":0,"state":"dormant",)"
                          R"("visual_id":"g"})"),
         "level.agents[0]: the member \"is_open\" is missing"},
        {level_with_agent(R"({"name":"Gandalf","priority":1,"state":"dormant","visual_id":"g"})"),
         "level.agents[0]: \"name\" \"Gandalf\" is not the name of an agent kind"},
        {level_with_agent(R"({"name":"Plus Magician","priority":10,"state":"asleep",)"
                          R"("visual_id":"p"})"),
         "level.agents[0]: \"state\" (\"asleep\") is not one of its words"},
        {level_with_agent(R"({"name":"Plus Magician","priority":4294967296,"state":"dormant",)"
                          R"("visual_id":"p"})"),
         "\"priority\" (4294967296) is out of the range of a 32-bit integer"},
        {level_with_agent(R"({"is_open":false,"name":"The Judge","priority":0,"rule":"=",)"
                          R"("state":"dormant","target_value":1.0,"visual_id":"j"})"),
         "level.agents[0]: \"rule\" (\"=\") is not one of its words"},
    };
    for (const auto& bad : cases) {
        const std::string message = reading_error(bad.text);
        CHECK(message.find(bad.message) != std::string::npos);
        if (message.find(bad.message) == std::string::npos) {
            std::cerr << "  got: " << message << "\n";
        }
    }
}

TEST_CASE("a quiet run ends where NextFrame ends, on every shape of level") {
    int budget_spent = 0;
    for (std::uint32_t seed = 0; seed < 3000; ++seed) {
        // The same level twice; some given a budget nearly spent, some with many candidates.
        LevelGenerator for_frames(seed);
        LevelGenerator for_quiet(seed);
        orv::NarrativeSequencer by_frames(for_frames.level());
        orv::NarrativeSequencer quietly(for_quiet.level());
        for (auto* sequencer : {&by_frames, &quietly}) {
            sequencer->current_frame = seed % 5 == 0 ? 997 : 0;
            for (std::uint32_t extra = seed % 7 == 0 ? 40 : 0; extra > 0; --extra) {
                sequencer->root_environment->add_magician(
                    std::make_shared<orv::PlusMagician>("p" + std::to_string(extra % 3)));
            }
        }
        std::string status;
        while (status != "FINISHED" && status != "ERROR") {
            status = by_frames.NextFrame()["meta"]["status"].get<std::string>();
        }
        const auto end = quietly.run_quietly();
        CHECK((end == orv::NarrativeSequencer::RunEnd::budget_spent) == (status == "ERROR"));
        CHECK(shown(*quietly.root_environment) == shown(*by_frames.root_environment));
        CHECK(quietly.current_frame == by_frames.current_frame);
        CHECK(quietly.is_finished && by_frames.is_finished);
        CHECK(!quietly.last_event.has_value());
        budget_spent += status == "ERROR" ? 1 : 0;
    }
    CHECK(budget_spent > 50);
}
