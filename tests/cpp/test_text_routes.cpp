// The frame text written straight from the zones must equal the dump of the JSON value built
// by the same engine, frame after frame, on many generated levels. The value route is the
// reference.
#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <random>
#include <string>

#include <nlohmann/json.hpp>

#include "check.hpp"
#include "level_generator.hpp"
#include "orv/agents.hpp"
#include "orv/environment.hpp"
#include "orv/interrupt.hpp"
#include "orv/json_text.hpp"
#include "orv/sequencer.hpp"

namespace {

using Json = nlohmann::json;
using orv::testing::LevelGenerator;

/// Every zone of the tree once, in the order of a depth-first walk.
std::vector<orv::Environment*> zones_of(orv::Environment& top) {
    std::vector<orv::Environment*> found{&top};
    for (std::size_t next = 0; next < found.size(); ++next) {
        for (const auto& sub : found[next]->sub_environments) {
            if (std::find(found.begin(), found.end(), sub.get()) == found.end()) {
                found.push_back(sub.get());
            }
        }
    }
    return found;
}

/// One change of the kind the bindings make between frames, drawn from `random`; applied to
/// twin levels by twin generators, it changes both alike.
void change_level(LevelGenerator& random, orv::NarrativeSequencer& sequencer,
                  const std::shared_ptr<orv::Environment>& zone_kept_alive) {
    const auto zones = zones_of(*sequencer.root_environment);
    orv::Environment& zone = *zones[random.pick(zones.size())];
    switch (random.pick(8)) {
    case 0: zone.add_charge(random.charge()); break;
    case 1: { // sometimes an agent that another zone lists too (C++ callers only)
        const orv::Environment& other = *zones[random.pick(zones.size())];
        zone.add_magician(other.agents.empty() || random.pick(2) == 0 ? random.agent()
                                                                     : other.agents.back());
        break;
    }
    case 2:
        if (!zone.charges.empty()) { // an item write from Python
            zone.charges[random.pick(zone.charges.size())] = random.charge();
            zone.mark_text_changed();
        }
        break;
    case 3: { // a zone shared at several places
        orv::Environment& other = *zones[random.pick(zones.size())];
        auto shared = other.sub_environments.empty() ? zone_kept_alive : other.sub_environments[0];
        if (!orv::would_form_cycle(zone, *shared)) {
            zone.add_environment(shared);
        }
        break;
    }
    case 4: zone.is_time_frozen = !zone.is_time_frozen; break;
    case 5:
        zone.charges = {random.charge()};
        zone.mark_charges_changed();
        break;
    case 6: sequencer.current_frame = static_cast<int>(random.pick(3)); break;
    default: zone.id = random.text(); break;
    }
}

/// The text of a route, or the message of the type error it threw.
std::string text_or_error(const std::function<std::string()>& route) {
    try {
        return route();
    } catch (const Json::type_error& error) {
        return std::string("error: ") + error.what();
    }
}

std::string written_zone(const orv::Environment& zone) {
    orv::TextBuffer buffer;
    orv::JsonTextWriter out(buffer);
    zone.write_json(out);
    return buffer.str();
}

std::string written_frame(orv::NarrativeSequencer& sequencer) {
    orv::TextBuffer buffer;
    orv::JsonTextWriter out(buffer);
    sequencer.write_next_frame(out);
    return buffer.str();
}

} // namespace

TEST_CASE("zone text equals the dump of the zone value on generated levels") {
    LevelGenerator generator(11);
    for (int round = 0; round < 3000; ++round) {
        const auto level = generator.level();
        const std::string expected = text_or_error([&] { return orv::dump_compact(level->to_json()); });
        const std::string written = text_or_error([&] { return written_zone(*level); });
        CHECK(written == expected);
    }
}

TEST_CASE("frame text equals the dump of the frame value, frame after frame") {
    int frames_compared = 0;
    for (std::uint32_t seed = 0; seed < 1000; ++seed) {
        // The same level twice: one sequencer per route, stepped in lockstep.
        LevelGenerator for_values(seed);
        LevelGenerator for_text(seed);
        orv::NarrativeSequencer by_value(for_values.level());
        orv::NarrativeSequencer by_text(for_text.level());
        while (!by_value.is_finished) {
            const std::string expected =
                text_or_error([&] { return orv::dump_compact(by_value.NextFrame()); });
            const std::string written = text_or_error([&] { return written_frame(by_text); });
            CHECK(written == expected);
            ++frames_compared;
        }
        CHECK(by_text.is_finished && by_text.current_frame == by_value.current_frame);
    }
    CHECK(frames_compared > 3000);
}

TEST_CASE("frame text equals the dump of the frame value, with changes between frames") {
    int frames_compared = 0;
    for (std::uint32_t seed = 0; seed < 1000; ++seed) {
        // The same level twice, one per route, each stepped by two sequencers on one tree and
        // changed alike between frames; the value route is never cached.
        LevelGenerator for_values(seed);
        LevelGenerator for_text(seed);
        auto value_level = for_values.level();
        auto text_level = for_text.level();
        const auto value_spare = for_values.level();
        const auto text_spare = for_text.level();
        orv::NarrativeSequencer by_value[] = {orv::NarrativeSequencer(value_level),
                                              orv::NarrativeSequencer(value_level)};
        orv::NarrativeSequencer by_text[] = {orv::NarrativeSequencer(text_level),
                                             orv::NarrativeSequencer(text_level)};
        for (int frame = 0; frame < 60 && !by_value[0].is_finished; ++frame) {
            const auto draw_both = [&](std::size_t count) {
                for_text.pick(count);
                return for_values.pick(count);
            };
            const std::size_t which = draw_both(2);
            if (draw_both(2) == 0) {
                change_level(for_values, by_value[which], value_spare);
                change_level(for_text, by_text[which], text_spare);
            }
            const std::string expected =
                text_or_error([&] { return orv::dump_compact(by_value[which].NextFrame()); });
            const std::string written = text_or_error([&] { return written_frame(by_text[which]); });
            CHECK(written == expected);
            ++frames_compared;
        }
    }
    CHECK(frames_compared > 5000);
}

namespace {

int hook_calls_left = 0;

struct Interrupted {};

void interrupt_when_due() {
    if (--hook_calls_left == 0) {
        throw Interrupted{};
    }
}

} // namespace

TEST_CASE("a text interrupted while it is written keeps nothing half-written for later texts") {
    for (int calls = 1; calls <= 12; ++calls) {
        auto top = std::make_shared<orv::Environment>("top");
        for (int index = 0; index < 12; ++index) {
            auto zone = std::make_shared<orv::Environment>("z" + std::to_string(index));
            for (int charge = 0; charge < 1500; ++charge) {
                zone->add_charge(orv::Charge(charge / 7.0, orv::ChargePolarity::NEGATIVE, "c"));
            }
            top->add_environment(zone);
        }
        const std::string expected = orv::dump_compact(top->to_json());
        CHECK(written_zone(*top) == expected);
        hook_calls_left = calls;
        orv::set_interrupt_hook(&interrupt_when_due);
        bool interrupted = false;
        try {
            written_zone(*top);
        } catch (const Interrupted&) {
            interrupted = true;
        }
        orv::set_interrupt_hook(nullptr);
        CHECK(interrupted);
        CHECK(written_zone(*top) == expected);
        CHECK(written_zone(*top) == expected);
    }
}
