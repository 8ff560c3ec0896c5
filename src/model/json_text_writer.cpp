#include <array>
#include <charconv>
#include <cmath>
#include <memory>

#include <nlohmann/json.hpp>

#include "orv/json_text.hpp"

namespace orv {

namespace {

/// Lets the library's serializer append to a TextBuffer.
class TextBufferAdapter final : public nlohmann::detail::output_adapter_protocol<char> {
public:
    explicit TextBufferAdapter(TextBuffer& buffer) : buffer_(buffer) {}
    void write_character(char c) override { buffer_.push_back(c); }
    void write_characters(const char* s, std::size_t length) override {
        buffer_.append(s, length);
    }

private:
    TextBuffer& buffer_;
};

enum class TextKind : unsigned char { kPlainAscii = 0, kNeedsEscapes = 1, kNonAscii = 2 };

/// The kind of each byte: printable ASCII but the quote and the backslash is written
/// unchanged; anything else (escapes, UTF-8 sequences, invalid bytes) goes the library's way.
constexpr std::array<TextKind, 256> kByteKinds = [] {
    std::array<TextKind, 256> kinds{};
    for (std::size_t byte = 0; byte < kinds.size(); ++byte) {
        if (byte > 0x7e) {
            kinds[byte] = TextKind::kNonAscii;
        } else if (byte < 0x20 || byte == '"' || byte == '\\') {
            kinds[byte] = TextKind::kNeedsEscapes;
        }
    }
    return kinds;
}();

TextKind classify(const std::string& text) {
    unsigned char seen = 0;
    for (const char character : text) {
        seen |= static_cast<unsigned char>(kByteKinds[static_cast<unsigned char>(character)]);
    }
    return (seen & 2U) != 0 ? TextKind::kNonAscii : static_cast<TextKind>(seen);
}

/// Integral magnitudes below 1e15 are written as their digits and ".0". For them the
/// library's Grisu2 stops at exactly the integer's significant digits (the rounding interval
/// is narrower than 1 there), so this shortcut writes the same bytes, only faster; the C++
/// tests compare the two across that range.
constexpr double kShortcutLimit = 1e15;

bool is_small_integral(double value) {
    return value != 0.0 && std::fabs(value) < kShortcutLimit && std::trunc(value) == value;
}

} // namespace

void StringTextBuffer::grow(std::size_t capacity) {
    std::unique_ptr<char[]> storage(new char[capacity]); // left uninitialised: it is written over
    if (size() > 0) {
        std::memcpy(storage.get(), data(), size());
    }
    set_storage(storage.get(), capacity);
    storage_ = std::move(storage);
    capacity_ = capacity;
}

void JsonTextWriter::string(const std::string& text) {
    const TextKind kind = classify(text);
    if (kind == TextKind::kPlainAscii) {
        out_.push_back('"');
        out_.append(text.data(), text.size());
        out_.push_back('"');
        return;
    }
    wrote_non_ascii_ = wrote_non_ascii_ || kind == TextKind::kNonAscii;
    // Rare: the library's serializer keeps its exact escapes and error messages.
    nlohmann::detail::serializer<nlohmann::json> serializer(
        std::make_shared<TextBufferAdapter>(out_), ' ');
    serializer.dump(nlohmann::json(text), false, false, 0);
}

void JsonTextWriter::number(double value) {
    if (!std::isfinite(value)) {
        raw("null");
        return;
    }
    if (is_small_integral(value)) {
        integer(static_cast<std::int64_t>(value));
        raw(".0");
        return;
    }
    // The library's own float formatting (Grisu2 digits, ".0" for integral values).
    std::array<char, 64> buffer{};
    char* end = nlohmann::detail::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    out_.append(buffer.data(), static_cast<std::size_t>(end - buffer.data()));
}

void JsonTextWriter::integer(std::int64_t value) {
    std::array<char, 24> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    out_.append(buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data()));
}

} // namespace orv
