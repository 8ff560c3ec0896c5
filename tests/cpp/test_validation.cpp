// The validation build (ORV_VALIDATE) checks the engine's kept facts against fresh ones, and
// the write paths that only C++ reaches keep them right.
#include <memory>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "check.hpp"
#include "orv/agents.hpp"
#include "orv/environment.hpp"
#include "orv/json_text.hpp"
#include "orv/sequencer.hpp"

namespace {

std::string text_of(const orv::Environment& zone) {
    orv::TextBuffer buffer;
    orv::JsonTextWriter out(buffer);
    zone.write_json(out);
    return buffer.str();
}

bool refused_as_stale(const orv::Environment& zone) {
    try {
        text_of(zone);
    } catch (const std::logic_error&) {
        return true;
    }
    return false;
}

struct SpellFailed {};

/// Appends a charge to its zone, then fails: what a spell that runs out of memory may do.
class FailingSpell final : public orv::MagicianAgent {
public:
    FailingSpell() : MagicianAgent("Failing Spell", 200, "f") {}
    bool CastSpell(std::vector<orv::Charge>& charges) override {
        charges.emplace_back(1.0, orv::ChargePolarity::POSITIVE, "half-made");
        throw SpellFailed{};
    }
};

} // namespace

TEST_CASE("the validation build refuses kept texts and counts that a change left unmarked") {
#ifdef ORV_VALIDATE
    auto zone = std::make_shared<orv::Environment>("z");
    zone->add_charge(orv::Charge(1, orv::ChargePolarity::POSITIVE, "a"));
    text_of(*zone);
    text_of(*zone);
    zone->charges[0].magnitude = 42; // no mark_text_changed
    CHECK(refused_as_stale(*zone));
    zone->mark_text_changed();
    CHECK(!refused_as_stale(*zone));
    zone->charges.emplace_back(2, orv::ChargePolarity::NEGATIVE, "b"); // no mark at all
    CHECK(refused_as_stale(*zone));
    zone->mark_charges_changed();
    auto child = std::make_shared<orv::Environment>("child");
    zone->sub_environments.push_back(child); // parent_count not kept
    CHECK(refused_as_stale(*zone));
    ++child->parent_count;
    CHECK(!refused_as_stale(*zone));
#endif
}

TEST_CASE("a spell that fails part way leaves no kept text out of date, here or elsewhere") {
    // The failing agent is listed in two zones; both texts are kept before the step.
    auto top = std::make_shared<orv::Environment>("top");
    auto other = std::make_shared<orv::Environment>("other");
    auto spell = std::make_shared<FailingSpell>();
    top->add_magician(spell);
    other->add_magician(spell);
    orv::NarrativeSequencer sequencer(top);
    for (int write = 0; write < 2; ++write) {
        text_of(*top);
        text_of(*other);
    }
    bool failed = false;
    try {
        sequencer.NextFrame();
    } catch (const SpellFailed&) {
        failed = true;
    }
    CHECK(failed && text_of(*top) == orv::dump_compact(top->to_json()));
    CHECK(text_of(*other) == orv::dump_compact(other->to_json()));
    CHECK(other->to_json()["agents"][0]["state"] == "active");
}
