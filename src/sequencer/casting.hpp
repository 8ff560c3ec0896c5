#pragma once

// The trial of one candidate, shared by NextFrame's steps and quiet steps.
#include "orv/agent.hpp"
#include "orv/environment.hpp"
#include "orv/json_text.hpp"
#include "orv/spell_effect.hpp"

namespace orv {

/// Sets the agent active and calls its spell on the zone's charges. True: it cast (the agent
/// stays active, the zone's charges are marked). False: it is dormant again and nothing
/// changed. `spell_ran` is set once the spell took effect or threw: the tree may have changed.
/// An `effect`, when given, hears what the spell did.
inline bool try_cast(MagicianAgent& agent, Environment& zone, bool& spell_ran,
                     SpellEffect* effect = nullptr) {
    agent.state = AgentState::ACTIVE;
    bool cast = false;
    try {
        cast = effect != nullptr ? agent.CastSpell(zone.charges, *effect)
                                 : agent.CastSpell(zone.charges);
    } catch (...) {
        // The spell may have restructured the list before it failed, and the agent stays
        // active in every zone that lists it.
        zone.mark_charges_changed();
        CachedText::clear_all();
        spell_ran = true;
        throw;
    }
    if (!cast) {
        agent.state = AgentState::DORMANT;
        return false;
    }
    spell_ran = true;
    zone.mark_charges_changed();
    return true;
}

} // namespace orv
