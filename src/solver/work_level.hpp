#pragma once

// The one working copy of a puzzle's level on which every placement is tried.
#include <cstddef>
#include <memory>
#include <vector>

#include "orv/agents.hpp"
#include "orv/environment.hpp"
#include "orv/sequencer.hpp"

namespace orv::solver {

/// A level as read, kept in two forms: its zones and agents, owned here, which the runs
/// change; and what each zone held at the start, to which `reset` returns them. The zones'
/// lists refer to zones and agents without owning them (no reference counting in a run), and
/// nothing is allocated once every list has grown to its largest.
class WorkLevel {
public:
    explicit WorkLevel(std::shared_ptr<Environment> level);
    ~WorkLevel();
    WorkLevel(const WorkLevel&) = delete;
    WorkLevel& operator=(const WorkLevel&) = delete;

    /// Zones in preorder of the tree, 0 the top zone.
    std::size_t zone_count() const { return zones_.size(); }
    /// Keeps `agent` for `append`; returns it.
    MagicianAgent& keep(std::shared_ptr<MagicianAgent> agent);

    /// Every zone, agent and gate as it was read.
    void reset();
    /// Appends a kept agent to the agent list of zone `zone` (after a reset).
    void append(std::size_t zone, MagicianAgent& agent);
    /// Runs the level from its first step; true when it ends, not by the step budget, with
    /// every gate of the level open (never for a level without gates).
    bool run_solves();

private:
    struct ZoneStart {
        std::vector<Charge> charges;
        std::vector<std::shared_ptr<MagicianAgent>> agents;
        std::vector<std::shared_ptr<Environment>> sub_environments;
        bool is_time_frozen;
    };
    struct AgentStart {
        MagicianAgent* agent;
        AgentState state;
        /// The agent as a gate, or null.
        GoalGate* gate;
        bool is_open;
    };

    void take_apart(const std::shared_ptr<Environment>& top);

    /// Owners of every zone and agent; the lists of the zones refer to them unowned.
    std::vector<std::shared_ptr<Environment>> zones_;
    std::vector<std::shared_ptr<MagicianAgent>> agents_;
    std::vector<ZoneStart> starts_;
    std::vector<AgentStart> agent_starts_;
    std::vector<GoalGate*> gates_;
    NarrativeSequencer sequencer_;
};

} // namespace orv::solver
