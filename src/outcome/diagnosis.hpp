#pragma once

// Why agents cannot cast and which zones hold others up, in the last tree of a run.
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "../model/zone_fields.hpp"
#include "orv/agent.hpp"
#include "orv/environment.hpp"
#include "orv/run_outcome.hpp"

namespace orv::outcome {

/// The reason of an agent whose spell would take effect but whose zone is frozen, so that it
/// is not even tried.
inline constexpr const char* kWaits = "its zone is frozen";
/// The reason of such an agent in a zone that is not frozen: the run ended first.
inline constexpr const char* kUntried = "not tried before the run ended";

/// The freeze flag as the frames show it: a zone without sub-zones is written unfrozen.
inline bool shown_frozen(const Environment& zone) { return shown_time_frozen(zone); }

/// A number as the frames write it and every tool reads it back: NaN when it is not finite.
double as_written(double value);

/// Answers about one tree. Gates share zones and blocking zones share agents, so each answer
/// is worked out once; the tree must not change while the diagnosis is used.
class Diagnosis {
public:
    /// The signed total of the charges of `zone` as the frames show them; none when it holds
    /// no charge.
    std::optional<double> total(const Environment& zone);
    /// Why `agent` does not cast on the charges of `zone` as the frames show them; empty when
    /// its spell would take effect.
    std::string decline_reason(const MagicianAgent& agent, const Environment& zone);
    /// The agent of `zone` with why it cannot cast now: its spell's own reason, else that its
    /// zone is frozen, else that it was not tried.
    const AgentRefusal& refusal(const MagicianAgent& agent, const Environment& zone);
    /// The zones below `zone` that keep it frozen: each direct sub-zone that still has an
    /// agent or more than one charge, followed, when it is frozen itself, by those that keep
    /// it so; innermost last on every branch.
    const std::vector<BlockingZone>& blocking_zones(const Environment& zone);

private:
    /// The charges of `zone` with every magnitude as written: the zone's own list when they
    /// are all finite.
    const std::vector<Charge>& written_charges(const Environment& zone);

    std::map<const Environment*, std::vector<Charge>> written_;
    std::map<std::pair<const MagicianAgent*, const Environment*>, AgentRefusal> refusals_;
    std::map<const Environment*, std::vector<BlockingZone>> blocking_;
};

} // namespace orv::outcome
