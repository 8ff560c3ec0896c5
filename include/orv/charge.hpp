#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "orv/enum_words.hpp"
#include "orv/json_text.hpp"

namespace orv {

class JsonReader;

/// The sign class of a charge. Stored as a 32-bit integer; values outside the three
/// enumerators can be stored and read as NEUTRAL wherever a text is produced.
enum class ChargePolarity : std::int32_t {
    POSITIVE = 0,
    NEGATIVE = 1,
    NEUTRAL = 2,
};

/// The numeric token of the puzzle: a plain value, copied freely. No invariant is enforced:
/// the magnitude may be zero, negative, infinite or NaN, and visual ids may repeat.
struct Charge {
    Charge(double magnitude_, ChargePolarity polarity_, std::string visual_id_)
        : magnitude(magnitude_), polarity(polarity_), visual_id(std::move(visual_id_)) {}

    double magnitude;
    ChargePolarity polarity;
    /// UTF-8 text the game draws and tracks the token by; stored byte for byte.
    std::string visual_id;

    /// {"magnitude": float, "polarity": text, "visual_id": text}; NaN and infinities dump as null.
    nlohmann::json to_json() const;
    /// Appends the text of to_json() without building the value.
    void write_json(JsonTextWriter& out) const;
    /// The members of both, in key order, given to JsonValueFields or JsonTextFields.
    template <class Fields>
    void describe_json(Fields& fields) const {
        fields_of(*this, fields);
    }
    /// Reads the members back from the text of to_json(); std::invalid_argument for bad text.
    void describe_json(JsonReader& fields);

private:
    /// The one list of members behind writing and reading: `Self` is const when writing.
    template <class Self, class Fields>
    static void fields_of(Self& charge, Fields& fields);
};

/// "positive", "negative", or "neutral" for NEUTRAL and every out-of-range value.
const char* polarity_text(ChargePolarity polarity);

inline constexpr EnumWords<ChargePolarity, 3> kPolarityWords{
    &polarity_text,
    {ChargePolarity::POSITIVE, ChargePolarity::NEGATIVE, ChargePolarity::NEUTRAL}};

template <class Self, class Fields>
void Charge::fields_of(Self& charge, Fields& fields) {
    fields.number("magnitude", charge.magnitude);
    fields.word("polarity", charge.polarity, kPolarityWords);
    fields.string("visual_id", charge.visual_id);
}

/// The additive reading of a charge's sign: +magnitude when POSITIVE, -magnitude for every
/// other polarity (NEUTRAL counts negative). Used by the adding spells and the gates.
double signed_value(const Charge& charge);

/// The signed total of a zone's charges: the sum of their signed values in list order,
/// starting from 0.0. What the gates compare, and what the tools show as a zone's total.
double signed_total(const std::vector<Charge>& charges);

/// The multiplicative reading of a charge's sign: only a polarity of exactly NEGATIVE counts.
bool is_negative(const Charge& charge);

} // namespace orv
