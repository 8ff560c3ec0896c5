#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include <nlohmann/json_fwd.hpp>

namespace orv {

/// The compact text of a JSON value, byte for byte what `value.dump()` writes (no spaces,
/// UTF-8 kept, the library's float digits, nlohmann::json::type_error 316 for text that is not
/// valid UTF-8), but without recursion, so arbitrarily deep documents cannot exhaust the stack.
std::string dump_compact(const nlohmann::json& value);

/// The growable byte buffer that JsonTextWriter appends to. Appending is inline; the storage
/// is left uninitialised until written, and `clear` keeps it for the next text.
class TextBuffer {
public:
    TextBuffer() = default;
    TextBuffer(const TextBuffer&) = delete;
    TextBuffer& operator=(const TextBuffer&) = delete;

    const char* data() const { return begin_; }
    std::size_t size() const { return static_cast<std::size_t>(end_ - begin_); }
    std::size_t capacity() const { return static_cast<std::size_t>(limit_ - begin_); }
    std::string str() const { return std::string(data(), size()); }

    /// Empties the buffer and keeps its storage for the next text.
    void clear() { end_ = begin_; }
    /// Empties the buffer and frees its storage.
    void release() {
        storage_.reset();
        storage_capacity_ = 0;
        begin_ = end_ = limit_ = nullptr;
        borrowed_ = false;
    }

    /// Writes the next text straight into `memory`, owned by the caller, for as long as it fits
    /// in `capacity` bytes; past that the text moves to the buffer's own storage. Spares a
    /// copy when the caller's memory is where the text must end up.
    void borrow(char* memory, std::size_t capacity) {
        begin_ = end_ = memory;
        limit_ = memory + capacity;
        borrowed_ = true;
    }
    /// Whether the text so far lies in the memory given to `borrow`.
    bool borrowed() const { return borrowed_; }
    /// Empties the buffer and returns to its own storage.
    void stop_borrowing() {
        begin_ = end_ = storage_.get();
        limit_ = begin_ + storage_capacity_;
        borrowed_ = false;
    }

    void append(const char* bytes, std::size_t count) {
        std::memcpy(tail(count), bytes, count);
        end_ += count;
    }
    /// Room for at least `count` more bytes, written straight through the pointer returned;
    /// `commit` then takes the new end.
    char* tail(std::size_t count) {
        if (count > static_cast<std::size_t>(limit_ - end_)) {
            grow(std::max(size() + count, capacity() * 2));
        }
        return end_;
    }
    void commit(char* new_end) { end_ = new_end; }
    void push_back(char byte) {
        *tail(1) = byte;
        ++end_;
    }

private:
    /// Moves the bytes written so far into storage for `capacity` bytes.
    void grow(std::size_t capacity);

    std::unique_ptr<char[]> storage_;
    std::size_t storage_capacity_ = 0;
    bool borrowed_ = false;
    char* begin_ = nullptr;
    char* end_ = nullptr;
    char* limit_ = nullptr;
};

/// Text a writer wrote once and may copy again while what it was written from is unchanged.
/// Whoever changes that data calls `clear`; `clear_all` drops every cached text at once, for
/// changes whose holders cannot be told apart. Holds no text marked valid after a failed write.
class CachedText {
public:
    bool valid() const noexcept { return epoch_ == current_epoch(); }
    void clear() noexcept {
        epoch_ = 0;
        written_since_change_ = false;
    }
    static void clear_all() noexcept;

    /// Whether a text about to be written is worth keeping: only when the same data is written
    /// a second time. Data that changes before every write (a zone that a spell works on in
    /// each frame) is never copied, and its cache costs no memory.
    bool worth_keeping() noexcept {
        const bool again = written_since_change_;
        written_since_change_ = true;
        return again;
    }

    std::string_view text() const { return text_; }
    bool non_ascii() const { return non_ascii_; }
    /// Keeps a copy of `text` and marks it valid; if copying fails it stays invalid.
    void store(std::string_view text, bool non_ascii);

private:
    /// Never 0, so a cleared text is never valid.
    static std::uint64_t current_epoch() noexcept;

    std::string text_;
    std::uint64_t epoch_ = 0;
    bool non_ascii_ = false;
    bool written_since_change_ = false;
};

/// Appends JSON text straight from engine data, byte for byte as dump_compact would write the
/// equivalent JSON value, without building that value first. The caller writes punctuation
/// and keys (already in the sorted order of the value) through `raw`.
class JsonTextWriter {
public:
    explicit JsonTextWriter(TextBuffer& out) : out_(out) {}

    void raw(std::string_view text) { out_.append(text.data(), text.size()); }
    void raw(char character) { out_.push_back(character); }
    /// `{"name":` before the first member of an object, `,"name":` before the others. Names
    /// are the engine's own keys: plain ASCII that needs no escapes.
    void member_key(bool first, std::string_view name) {
        char* at = out_.tail(name.size() + 4);
        at[0] = first ? '{' : ',';
        at[1] = '"';
        std::memcpy(at + 2, name.data(), name.size());
        at[name.size() + 2] = '"';
        at[name.size() + 3] = ':';
        out_.commit(at + name.size() + 4);
    }
    /// One of the engine's fixed words in quotes: plain ASCII that needs no escapes.
    void word(std::string_view text) {
        char* at = out_.tail(text.size() + 2);
        at[0] = '"';
        std::memcpy(at + 1, text.data(), text.size());
        at[text.size() + 1] = '"';
        out_.commit(at + text.size() + 2);
    }
    /// A quoted, escaped string; throws the library's type_error 316 for invalid UTF-8.
    void string(const std::string& text);
    /// A floating-point number in the library's digits ("5.0"); null for NaN and infinities.
    void number(double value);
    void integer(std::int64_t value);
    void boolean(bool value) { raw(value ? std::string_view("true") : std::string_view("false")); }

    /// Copies the text in `cache` when it is valid; otherwise writes it anew through
    /// `write(JsonTextWriter&)`, and keeps what was written there when the cache finds it worth
    /// keeping.
    template <class Write>
    void cached(CachedText& cache, Write&& write);

    /// Whether any byte above 0x7F has been written (text is then UTF-8, not plain ASCII).
    bool wrote_non_ascii() const { return wrote_non_ascii_; }

private:
    TextBuffer& out_;
    bool wrote_non_ascii_ = false;
};

template <class Write>
void JsonTextWriter::cached(CachedText& cache, Write&& write) {
    if (cache.valid()) {
        raw(cache.text());
        wrote_non_ascii_ = wrote_non_ascii_ || cache.non_ascii();
        return;
    }
    if (!cache.worth_keeping()) {
        std::forward<Write>(write)(*this);
        return;
    }
    const std::size_t start = out_.size();
    const bool non_ascii_before = wrote_non_ascii_;
    wrote_non_ascii_ = false;
    struct KeepFlag { // the earlier text's flag survives a throwing `write`
        bool& flag;
        bool before;
        ~KeepFlag() { flag = flag || before; }
    } keep{wrote_non_ascii_, non_ascii_before};
    std::forward<Write>(write)(*this);
    cache.store(std::string_view(out_.data() + start, out_.size() - start), wrote_non_ascii_);
}

} // namespace orv
