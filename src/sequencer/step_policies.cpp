#include "step_policies.hpp"

#include <utility>

#include "event_text.hpp"
#include "orv/agents.hpp"
#include "orv/readable_number.hpp"
#include "orv/zone_walk.hpp"

namespace orv {

namespace {

using Ancestors = std::vector<OpenZone<Environment>>;

/// The place of `zone`, held by the last of the first `count` zones of a walk's stack.
ZonePlace place_of(const Ancestors& open, std::size_t count, const Environment& zone) {
    ZonePlace place;
    place.id = zone.id;
    for (std::size_t at = 0; at < count; ++at) {
        place.ids.push_back(open[at].zone->id);
        place.path.push_back(open[at].next - 1);
    }
    place.ids.push_back(zone.id);
    return place;
}

/// The place where the candidates met `zone`: they meet a zone held at several places first
/// at its first place in post-order, and all its places freeze alike, so the caster's place
/// is that one.
ZonePlace find_place(Environment& root, const Environment& zone) {
    ZonePlace place;
    Ancestors open;
    walk_zones(
        root, SkipZone{},
        [&](Environment& done, Environment* /*parent*/, std::size_t /*index*/) {
            if (&done != &zone) {
                return false;
            }
            place = place_of(open, open.size(), done);
            return true;
        },
        open);
    return place;
}

/// A charge that moves up, signed: "+4", "-2", "NaN".
std::string moved_text(const Charge& charge) {
    std::string text = readable_number(signed_value(charge));
    return text.front() == '-' || text == "NaN" ? text : "+" + text;
}

} // namespace

bool NarratedStep::cast(MagicianAgent& agent, Environment& zone, bool& spell_ran) {
    if (record_ == nullptr) {
        return try_cast(agent, zone, spell_ran);
    }
    effect_ = SpellEffect{};
    return try_cast(agent, zone, spell_ran, &effect_);
}

void NarratedStep::spell_cast(NarrativeSequencer& sequencer, MagicianAgent& agent,
                              Environment& zone) {
    sequencer.last_event = FrameEvent{agent.name, agent.visual_id,
                                      event_text(ORV_FRAME_EVENT_CAST_SPELL),
                                      agent.name + kSpellZoneMark + zone.id};
    if (record_ == nullptr) {
        return;
    }
    StepRecord record;
    record.kind = StepRecord::Kind::spell;
    if (const auto* gate = dynamic_cast<const GoalGate*>(&agent)) {
        record.kind = StepRecord::Kind::gate;
        record.target = gate->target_value;
        record.rule = gate->shown_rule();
        record.total = effect_.total.value_or(0.0);
    }
    record.agent_name = agent.name;
    record.agent_visual_id = agent.visual_id;
    record.zone = find_place(*sequencer.root_environment, zone);
    record.consumed = std::move(effect_.consumed);
    record.produced = std::move(effect_.produced);
    record.text = agent.name + " in " + zone.id + ": " + effect_.arithmetic;
    *record_ = std::move(record);
}

NarratedStep::Collapse NarratedStep::collapsing(const Environment& sub, const Environment& parent,
                                                const Ancestors& open) {
    Collapse noted{FrameEvent{"Chronomancer", kCollapseVisualPrefix + sub.id,
                              event_text(ORV_FRAME_EVENT_COLLAPSE_ZONE),
                              "Zone " + sub.id + " has resolved and merged."},
                   std::nullopt};
    if (record_ != nullptr) {
        StepRecord& record = noted.record.emplace();
        record.kind = StepRecord::Kind::collapse;
        record.zone = place_of(open, open.size(), sub);
        record.parent = place_of(open, open.size() - 1, parent);
        record.consumed.assign(1, sub.charges.front());
        record.produced = record.consumed;
        record.text = "Zone " + sub.id + " collapsed: " + moved_text(sub.charges.front()) +
                      " moves up to " + parent.id;
    }
    return noted;
}

void NarratedStep::collapsed(NarrativeSequencer& sequencer, Collapse noted) {
    sequencer.last_event = std::move(noted.event);
    if (record_ != nullptr && noted.record) {
        *record_ = std::move(*noted.record);
    }
}

void NarratedStep::ended(NarrativeSequencer& sequencer) {
    sequencer.last_event =
        FrameEvent{"System", "N/A", event_text(ORV_FRAME_EVENT_FINISHED), "Equation Resolved."};
    if (record_ != nullptr) {
        *record_ = StepRecord{};
        record_->kind = StepRecord::Kind::end;
        record_->text = "Equation Resolved.";
    }
}

} // namespace orv
