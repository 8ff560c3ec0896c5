// The validation build refuses kept facts left unmarked; paths only C++ reaches mark theirs.
#include <memory>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "check.hpp"
#include "orv/spell_effect.hpp"
#include "orv/agents.hpp"
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

/// Appends a charge to its zone, then fails: what a spell that runs out of memory may do.
struct FailingSpell final : orv::MagicianAgent {
    FailingSpell() : MagicianAgent("Failing Spell", 200, "f") {}
    bool CastSpell(std::vector<orv::Charge>& charges) override {
        charges.emplace_back(1.0, orv::ChargePolarity::POSITIVE, "half-made");
        throw std::runtime_error("spell failed");
    }
    bool CastSpell(std::vector<orv::Charge>& charges, orv::SpellEffect& /*effect*/) override {
        return CastSpell(charges);
    }
    std::string decline_reason(const std::vector<orv::Charge>& /*charges*/) const override {
        return {};
    }
    std::vector<std::string> decline_reasons() const override { return {}; }
};

} // namespace

#ifdef ORV_VALIDATE
TEST_CASE("the validation build refuses kept texts and counts that a change left unmarked") {
    auto zone = std::make_shared<orv::Environment>("z");
    zone->add_charge(orv::Charge(1, orv::ChargePolarity::POSITIVE, "a"));
    text_of(*zone);
    text_of(*zone);
    zone->charges[0].magnitude = 42;
    CHECK(refused_as_stale(*zone));
    zone->mark_text_changed();
    zone->charges.emplace_back(2, orv::ChargePolarity::NEGATIVE, "b");
    CHECK(refused_as_stale(*zone));
    zone->mark_charges_changed();
    zone->sub_environments.push_back(std::make_shared<orv::Environment>("child"));
    CHECK(refused_as_stale(*zone));
    ++zone->sub_environments[0]->parent_count;
    CHECK(!refused_as_stale(*zone));
}
#endif

TEST_CASE("a spell that fails part way leaves no kept text out of date, here or elsewhere") {
    auto top = std::make_shared<orv::Environment>("top");
    auto other = std::make_shared<orv::Environment>("other"); // lists the failing agent too
    top->add_magician(std::make_shared<FailingSpell>());
    other->add_magician(top->agents[0]);
    orv::NarrativeSequencer sequencer(top);
    for (const auto* zone : {top.get(), other.get(), top.get(), other.get()}) {
        text_of(*zone); // written twice: kept
    }
    bool failed = false;
    try {
        sequencer.NextFrame();
    } catch (const std::runtime_error&) {
        failed = true;
    }
    CHECK(failed && text_of(*top) == orv::dump_compact(top->to_json()));
    CHECK(text_of(*other) == orv::dump_compact(other->to_json()));
}
