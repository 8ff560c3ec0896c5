#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "orv/agent.hpp"
#include "orv/agent_kinds.hpp"
#include "orv/spell_effect.hpp"

namespace orv {

// The ten arithmetic magicians. Each constructor fixes the kind's display name and priority.

/// "Plus Magician", priority 10: replaces every charge by the sum of their signed values.
class PlusMagician final : public MagicianAgent {
public:
    explicit PlusMagician(std::string visual_id_);
    static const AgentKind kind;
    bool CastSpell(std::vector<Charge>& charges) override;
    bool CastSpell(std::vector<Charge>& charges, SpellEffect& effect) override;
    std::string decline_reason(const std::vector<Charge>& charges) const override;
    std::vector<std::string> decline_reasons() const override;

private:
    bool cast(std::vector<Charge>& charges, SpellEffect* effect);
};

/// "Minus Magician", priority 10: the first signed value minus every later one.
class MinusMagician final : public MagicianAgent {
public:
    explicit MinusMagician(std::string visual_id_);
    static const AgentKind kind;
    bool CastSpell(std::vector<Charge>& charges) override;
    bool CastSpell(std::vector<Charge>& charges, SpellEffect& effect) override;
    std::string decline_reason(const std::vector<Charge>& charges) const override;
    std::vector<std::string> decline_reasons() const override;

private:
    bool cast(std::vector<Charge>& charges, SpellEffect* effect);
};

/// "Multiply Magician", priority 50: the product of every magnitude.
class MultiplyMagician final : public MagicianAgent {
public:
    explicit MultiplyMagician(std::string visual_id_);
    static const AgentKind kind;
    bool CastSpell(std::vector<Charge>& charges) override;
    bool CastSpell(std::vector<Charge>& charges, SpellEffect& effect) override;
    std::string decline_reason(const std::vector<Charge>& charges) const override;
    std::vector<std::string> decline_reasons() const override;

private:
    bool cast(std::vector<Charge>& charges, SpellEffect* effect);
};

/// "Divide Magician", priority 50: the first magnitude divided by every later one.
class DivideMagician final : public MagicianAgent {
public:
    explicit DivideMagician(std::string visual_id_);
    static const AgentKind kind;
    bool CastSpell(std::vector<Charge>& charges) override;
    bool CastSpell(std::vector<Charge>& charges, SpellEffect& effect) override;
    std::string decline_reason(const std::vector<Charge>& charges) const override;
    std::vector<std::string> decline_reasons() const override;

private:
    bool cast(std::vector<Charge>& charges, SpellEffect* effect);
};

/// "The Scavenger", priority 50: fmod of the last two magnitudes.
class ModuloMagician final : public MagicianAgent {
public:
    explicit ModuloMagician(std::string visual_id_);
    static const AgentKind kind;
    bool CastSpell(std::vector<Charge>& charges) override;
    bool CastSpell(std::vector<Charge>& charges, SpellEffect& effect) override;
    std::string decline_reason(const std::vector<Charge>& charges) const override;
    std::vector<std::string> decline_reasons() const override;

private:
    bool cast(std::vector<Charge>& charges, SpellEffect* effect);
};

/// "Power Sorcerer", priority 75: the second-to-last charge raised to the last.
class PowerSorcerer final : public MagicianAgent {
public:
    explicit PowerSorcerer(std::string visual_id_);
    static const AgentKind kind;
    bool CastSpell(std::vector<Charge>& charges) override;
    bool CastSpell(std::vector<Charge>& charges, SpellEffect& effect) override;
    std::string decline_reason(const std::vector<Charge>& charges) const override;
    std::vector<std::string> decline_reasons() const override;

private:
    bool cast(std::vector<Charge>& charges, SpellEffect* effect);
};

/// "The Extractor", priority 75: square root of a lone charge, or the k-th root of the last.
class RootMagician final : public MagicianAgent {
public:
    explicit RootMagician(std::string visual_id_);
    static const AgentKind kind;
    bool CastSpell(std::vector<Charge>& charges) override;
    bool CastSpell(std::vector<Charge>& charges, SpellEffect& effect) override;
    std::string decline_reason(const std::vector<Charge>& charges) const override;
    std::vector<std::string> decline_reasons() const override;

private:
    bool cast(std::vector<Charge>& charges, SpellEffect* effect);
};

/// "The Architect", priority 90: log10 of a lone charge, or the logarithm of the last charge
/// to the base of the second-to-last.
class LogMagician final : public MagicianAgent {
public:
    explicit LogMagician(std::string visual_id_);
    static const AgentKind kind;
    bool CastSpell(std::vector<Charge>& charges) override;
    bool CastSpell(std::vector<Charge>& charges, SpellEffect& effect) override;
    std::string decline_reason(const std::vector<Charge>& charges) const override;
    std::vector<std::string> decline_reasons() const override;

private:
    bool cast(std::vector<Charge>& charges, SpellEffect* effect);
};

/// "The Replicator", priority 85: the factorial of the last charge's integer part.
class FactorialMagician final : public MagicianAgent {
public:
    explicit FactorialMagician(std::string visual_id_);
    static const AgentKind kind;
    bool CastSpell(std::vector<Charge>& charges) override;
    bool CastSpell(std::vector<Charge>& charges, SpellEffect& effect) override;
    std::string decline_reason(const std::vector<Charge>& charges) const override;
    std::vector<std::string> decline_reasons() const override;

private:
    bool cast(std::vector<Charge>& charges, SpellEffect* effect);
};

/// "The Purifier", priority 90: turns every NEGATIVE charge POSITIVE in place.
class AbsMagician final : public MagicianAgent {
public:
    explicit AbsMagician(std::string visual_id_);
    static const AgentKind kind;
    bool CastSpell(std::vector<Charge>& charges) override;
    bool CastSpell(std::vector<Charge>& charges, SpellEffect& effect) override;
    std::string decline_reason(const std::vector<Charge>& charges) const override;
    std::vector<std::string> decline_reasons() const override;

private:
    bool cast(std::vector<Charge>& charges, SpellEffect* effect);
};

// Gates and time magic: they never change a charge.

/// "Chronomancer", priority 100: never casts, so its zone never collapses and keeps the
/// zone around it frozen.
class Chronomancer final : public MagicianAgent {
public:
    explicit Chronomancer(std::string visual_id_);
    static const AgentKind kind;
    bool CastSpell(std::vector<Charge>& charges) override;
    bool CastSpell(std::vector<Charge>& charges, SpellEffect& effect) override;
    std::string decline_reason(const std::vector<Charge>& charges) const override;
    std::vector<std::string> decline_reasons() const override;

private:
    bool cast(std::vector<Charge>& charges, SpellEffect* effect);
};

/// What the two goal gates share: a target, an open flag, and the test of the zone's signed
/// total (the sum of the signed values in list order, from 0.0).
class GoalGate : public MagicianAgent {
public:
    /// Opens the gate and returns true when the zone has charges and its signed total passes
    /// the kind's test; an empty zone opens no gate, not even one aiming at 0.
    bool CastSpell(std::vector<Charge>& charges) final;
    /// The same, telling `effect` the total it saw and its arithmetic when it opens.
    bool CastSpell(std::vector<Charge>& charges, SpellEffect& effect) final;
    /// "no charge", or the total against the rule: "total 3, needs == 4".
    std::string decline_reason(const std::vector<Charge>& charges) const final;
    std::vector<std::string> decline_reasons() const final;
    /// Adds "is_open", the kind's "rule" if it has one, and "target_value" (a float).
    void describe_json(JsonFields& fields) const final;
    void describe_json(JsonReader& fields) final;

    /// The test as a reason shows it: the rule, or "==" for a kind without one.
    const char* shown_rule() const;

    double target_value;
    /// Only ever goes from false to true.
    bool is_open = false;

protected:
    GoalGate(const AgentKind& kind, std::string visual_id_, double target);
    virtual bool passes(double signed_total) const = 0;
    /// The text of the "rule" member, or null for a kind without one.
    virtual const char* rule() const { return nullptr; }
    /// The "rule" member of a kind that has one; writing and reading.
    virtual void describe_rule(JsonFields& /*fields*/) const {}
    virtual void describe_rule(JsonReader& /*fields*/) {}

private:
    /// The gate's members merged into the agent's, in key order; `Self` is const when writing.
    template <class Self, class Fields>
    static void gate_fields_of(Self& gate, Fields& fields);
};

/// "Equals Gate", priority 0: opens when the zone's signed total is within 1e-6 of the target.
class EqualsGate final : public GoalGate {
public:
    static const AgentKind kind;
    EqualsGate(std::string visual_id_, double target);

private:
    bool passes(double signed_total) const override;
};

/// "The Judge", priority 0: opens when the zone's signed total compares with the target as
/// its rule says (no tolerance).
class InequalityGate final : public GoalGate {
public:
    enum class ComparisonType : std::int32_t {
        LESS_THAN = 0,
        GREATER_THAN = 1,
        LESS_EQUAL = 2,
        GREATER_EQUAL = 3,
    };

    static const AgentKind kind;
    InequalityGate(std::string visual_id_, double target, ComparisonType comparison_type_);

    ComparisonType comparison_type;

private:
    bool passes(double signed_total) const override;
    const char* rule() const override;
    void describe_rule(JsonFields& fields) const override;
    void describe_rule(JsonReader& fields) override;
};

/// The rule text of a comparison type: "<", ">", "<=" or ">=" ("<" for an out-of-range value).
const char* comparison_rule_text(InequalityGate::ComparisonType type);

inline constexpr EnumWords<InequalityGate::ComparisonType, 4> kComparisonRuleWords{
    &comparison_rule_text,
    {InequalityGate::ComparisonType::LESS_THAN, InequalityGate::ComparisonType::GREATER_THAN,
     InequalityGate::ComparisonType::LESS_EQUAL, InequalityGate::ComparisonType::GREATER_EQUAL}};

/// Maps a comparison text byte for byte: ">" and the two-byte "<=" and ">=" are recognised,
/// every other text (the empty one included) means LESS_THAN.
InequalityGate::ComparisonType comparison_type_from_text(const std::string& text);

} // namespace orv
