#pragma once

// What a run of a level came to, and why: solved, ended, stuck or out of steps, each gate
// that stayed closed with its cause, each agent that never cast with its reason, and the
// charges left. Worked out once, here, from the step records and the trees of the run, so
// that every face of the engine (the package, the browser build) tells the same.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "orv/charge.hpp"
#include "orv/step_record.hpp"

namespace orv {

class Environment;

/// How a run ended.
enum class RunVerdict {
    /// The level ended and every gate placed in it opened.
    solved,
    /// The level ended and it never had a gate.
    ended,
    /// The level ended with a gate that never opened.
    stuck,
    /// The step budget ran out before the level ended.
    out_of_steps,
};

/// "solved", "ended", "stuck" or "out of steps".
const char* run_verdict_text(RunVerdict verdict);

/// Why a gate stayed closed: one cause per gate.
enum class GateCause {
    /// Its zone was tried with a total the rule rejects.
    wrong_total,
    /// Its zone was still frozen when the level ended.
    frozen,
    /// Its zone held no charge.
    empty,
    /// An outer zone collapsed and took its zone out of the level.
    left_level,
    /// The total or the target is NaN, which meets no rule.
    not_a_number,
    /// The budget ran out while its zone held a total the gate accepts, before it was tried.
    out_of_steps,
};

/// "wrong_total", "frozen", "empty", "left_level", "not_a_number" or "out_of_steps".
const char* gate_cause_text(GateCause cause);

/// How many digits the texts give their numbers.
enum class NumberDigits {
    /// Six significant digits at most, as readable_number writes them.
    readable,
    /// Every digit, as exact_number writes them (the form of reports).
    every,
};

/// An agent that cannot cast now, and the reason its spell gives (or that its zone is frozen,
/// or that the run ended before it was tried).
struct AgentRefusal {
    std::string name;
    std::string visual_id;
    std::string reason;

    /// `Plus Magician "p": needs 2 charges, has 1`.
    std::string describe() const;
};

/// A zone that never settled and so kept the zone around it frozen.
struct BlockingZone {
    std::string zone;
    /// Zones below it kept it frozen in turn.
    bool frozen = false;
    /// Its agents, each with why it cannot cast.
    std::vector<AgentRefusal> agents;
    /// Its charges, as the frames write them; with no agent, nothing is left to combine them.
    std::vector<Charge> charges;

    /// `zone lock (Plus Magician "adder": needs 2 charges, has 1)`.
    std::string describe() const;
};

/// A gate that never opened, and why. Numbers are read as the frames write them: a target or
/// a magnitude that is not finite is NaN.
struct ClosedGate {
    std::string visual_id;
    std::string zone;
    /// "==" for the Equals Gate, else The Judge's rule.
    std::string rule;
    double target = 0.0;
    /// The signed total of its zone at the end; none when the zone held no charge or is gone.
    std::optional<double> last_total;
    /// Its zone was frozen in the last step, so the gate was not tried then.
    bool zone_frozen = false;
    /// The gate left the level unopened, with the collapse of `left_with` in frame `left_at`.
    bool removed = false;
    GateCause cause = GateCause::wrong_total;
    /// The total minus the target; none without a total.
    std::optional<double> difference;
    /// frozen: the zones below that never settled, each before the zones that kept it frozen
    /// in turn (innermost last).
    std::vector<BlockingZone> blocked_by;
    std::optional<std::string> left_with;
    std::optional<std::int32_t> left_at;

    /// The gate in one line: `gate "door" in zone hall (== 4): total 3, needs == 4
    /// (difference -1)`.
    std::string describe(NumberDigits digits = NumberDigits::readable) const;
};

/// An agent that never cast: still in its zone at the end, or carried out with it.
struct IdleAgent {
    std::string name;
    std::string visual_id;
    std::string zone;
    /// Why it cannot cast now; empty for an agent that left the level.
    std::string reason;
    bool removed = false;

    /// `Plus Magician "p" in zone room: needs 2 charges, has 1`.
    std::string describe() const;
};

/// A zone that still holds charges at the end; `path` is its place ("" for the top zone,
/// "1.0" for the first sub-zone of its second).
struct ZoneCharges {
    std::string zone;
    std::string path;
    std::vector<Charge> charges;
};

/// Everything a report on one run needs; `frames` is the number of steps taken.
struct RunOutcome {
    RunVerdict outcome = RunVerdict::ended;
    std::int32_t frames = 0;
    std::int32_t spells = 0;
    std::int32_t collapses = 0;
    std::int32_t gates_opened = 0;
    std::vector<ClosedGate> closed_gates;
    std::vector<IdleAgent> idle_agents;
    std::vector<ZoneCharges> final_charges;
    std::string final_status;
    std::string final_message;

    /// {"outcome", "frames", "spells", "collapses", "gates_opened", "closed_gates",
    /// "idle_agents", "final_charges", "final_status", "final_message"}: each closed gate and
    /// idle agent with its members, its line as "text" (a gate also "exact_text", every
    /// digit), each blocking zone and refusal with its "text". Absent numbers are null; a
    /// number that is not finite is the text "NaN", "inf" or "-inf"; charges are as the frames
    /// write them.
    nlohmann::json to_json() const;
};

/// What the last frame of a run says of itself.
struct LastFrame {
    std::int32_t frame_index = 0;
    /// "FINISHED", "RUNNING" or "ERROR" (the step budget ran out).
    std::string status;
    std::string message;
};

/// Counts the steps of a run and classifies it at the end. Made from the tree before the first
/// step (it keeps what it needs of it, not the tree); fed each frame's step, from its record or,
/// for frames taken without one, from its event.
class RunTally {
public:
    explicit RunTally(const Environment& start);

    /// The step of a frame, as the engine recorded it.
    void count(const StepRecord& record);
    /// The step of a frame from the JSON of its step record (StepRecord::to_json).
    void count_record(const nlohmann::json& record);
    /// The step of a frame that has no record, from its "meta" object's event; the zone is
    /// the one event_zone_id names.
    void count_event(const nlohmann::json& meta);

    /// The outcome of the run whose last frame left the tree `last` and said `frame`.
    RunOutcome classify(const Environment& last, const LastFrame& frame) const;

private:
    /// An agent of the tree before the first step.
    struct Placed {
        std::string name;
        std::string visual_id;
        std::size_t zone; // in zones_
        bool is_gate;
        std::string rule;
        double target;
    };
    /// A zone of the tree before the first step, with the zone whose list held it.
    struct StartZone {
        std::string id;
        std::optional<std::size_t> parent;
    };
    using AgentKey = std::tuple<std::string, std::string, std::string>;

    void count_collapse(std::int32_t frame, const std::string& zone);
    void count_cast(const std::string& name, const std::string& visual_id,
                    const std::string& zone, bool is_gate);
    /// The placed agents that are neither in `last` nor cast: they left with a collapsed zone.
    std::vector<const Placed*> removed(const std::map<AgentKey, long>& remaining) const;
    ClosedGate removed_gate(const Placed& gate) const;
    IdleAgent removed_agent(const Placed& agent) const;

    std::vector<StartZone> zones_;
    std::vector<Placed> placed_;
    std::map<AgentKey, long> cast_;
    /// (frame, zone id) of each collapse, in order.
    std::vector<std::pair<std::int32_t, std::string>> collapsed_;
    std::int32_t spells_ = 0;
    std::int32_t collapses_ = 0;
    std::int32_t gates_opened_ = 0;
};

/// The outcome of a run told by its documents: `start`, the tree before the first step (a
/// level file's or a frame's JSON); `steps`, for each frame its step record, or for a frame
/// without one its "meta" object; `last`, the last frame document. std::invalid_argument for
/// a document that is not a zone tree, or a step that is neither.
RunOutcome classify_documents(nlohmann::json start, const nlohmann::json& steps,
                              nlohmann::json last);

} // namespace orv
