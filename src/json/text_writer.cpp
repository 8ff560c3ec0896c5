#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>

#include "library_adapter.hpp"
#include "orv/json_text.hpp"

namespace orv {

namespace {

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

/// Copies `text` to `to` and tells what kind of text it was.
TextKind copy_and_classify(const std::string& text, char* to) {
    unsigned char seen = 0;
    for (const char character : text) {
        seen |= static_cast<unsigned char>(kByteKinds[static_cast<unsigned char>(character)]);
        *to++ = character;
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

namespace {

std::uint64_t text_epoch = 1;

} // namespace

std::uint64_t CachedText::current_epoch() noexcept { return text_epoch; }

void CachedText::clear_all() noexcept { ++text_epoch; }

void CachedText::store(std::string_view text, bool non_ascii) {
    epoch_ = 0;
    // A text that shrank a lot gives its storage back, so a cache stays about the size of the
    // text it saves.
    if (text_.capacity() > 2 * text.size() + 64) {
        std::string(text).swap(text_);
    } else {
        text_.assign(text);
    }
    non_ascii_ = non_ascii;
    epoch_ = text_epoch;
}

void TextBuffer::grow(std::size_t capacity) {
    std::unique_ptr<char[]> storage(new char[capacity]); // left uninitialised: it is written over
    const std::size_t used = size();
    if (used > 0) {
        std::memcpy(storage.get(), begin_, used);
    }
    storage_ = std::move(storage);
    storage_capacity_ = capacity;
    borrowed_ = false;
    begin_ = storage_.get();
    end_ = begin_ + used;
    limit_ = begin_ + capacity;
}

void JsonTextWriter::string(const std::string& text) {
    // Optimistically copied as it stands; taken back if it needs the library's treatment.
    char* start = out_.tail(text.size() + 2);
    *start = '"';
    const TextKind kind = copy_and_classify(text, start + 1);
    if (kind == TextKind::kPlainAscii) {
        start[text.size() + 1] = '"';
        out_.commit(start + text.size() + 2);
        return;
    }
    wrote_non_ascii_ = wrote_non_ascii_ || kind == TextKind::kNonAscii;
    // Rare: the library's serializer keeps its exact escapes and error messages.
    json_adapter::write_string(out_, text);
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
    // The library's own float formatting (Grisu2 digits, ".0" for integral values), written in
    // place; it needs at most 25 bytes.
    constexpr std::size_t kRoom = 32;
    char* start = out_.tail(kRoom);
    out_.commit(json_adapter::write_double(start, start + kRoom, value));
}

void JsonTextWriter::integer(std::int64_t value) {
    constexpr std::size_t kRoom = 24; // "-9223372036854775808" and more
    char* start = out_.tail(kRoom);
    out_.commit(std::to_chars(start, start + kRoom, value).ptr);
}

} // namespace orv
