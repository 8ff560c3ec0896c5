#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

namespace orv {

/// The compact text of a JSON value, byte for byte what `value.dump()` writes (no spaces,
/// UTF-8 kept, the library's float digits, nlohmann::json::type_error 316 for text that is not
/// valid UTF-8), but without recursion, so arbitrarily deep documents cannot exhaust the stack.
std::string dump_compact(const nlohmann::json& value);

/// A growable byte buffer that JsonTextWriter appends to. Appending is inline; only growing
/// is left to the subclass, which owns the storage (a C++ string, or a Python str being
/// filled in place).
class TextBuffer {
public:
    TextBuffer() = default;
    TextBuffer(const TextBuffer&) = delete;
    TextBuffer& operator=(const TextBuffer&) = delete;
    virtual ~TextBuffer() = default;

    const char* data() const { return begin_; }
    std::size_t size() const { return static_cast<std::size_t>(end_ - begin_); }

    void reserve(std::size_t capacity) {
        if (capacity > static_cast<std::size_t>(limit_ - begin_)) {
            grow(capacity);
        }
    }
    void append(const char* bytes, std::size_t count) {
        if (count > static_cast<std::size_t>(limit_ - end_)) {
            grow_for(count);
        }
        std::memcpy(end_, bytes, count);
        end_ += count;
    }
    /// Room for at least `count` more bytes, written straight through the pointer returned;
    /// `commit` then takes the new end.
    char* tail(std::size_t count) {
        if (count > static_cast<std::size_t>(limit_ - end_)) {
            grow_for(count);
        }
        return end_;
    }
    void commit(char* new_end) { end_ = new_end; }
    void push_back(char byte) {
        if (end_ == limit_) {
            grow_for(1);
        }
        *end_++ = byte;
    }

protected:
    /// Moves the bytes written so far into storage for at least `capacity` bytes and points
    /// the buffer at it with set_storage.
    virtual void grow(std::size_t capacity) = 0;
    void set_storage(char* begin, std::size_t capacity) { set_storage(begin, capacity, size()); }
    void set_storage(char* begin, std::size_t capacity, std::size_t used) {
        begin_ = begin;
        end_ = begin + used;
        limit_ = begin + capacity;
    }

private:
    void grow_for(std::size_t count) {
        const std::size_t capacity = static_cast<std::size_t>(limit_ - begin_);
        grow(std::max(size() + count, capacity * 2));
    }

    char* begin_ = nullptr;
    char* end_ = nullptr;
    char* limit_ = nullptr;
};

/// A TextBuffer in plain heap memory.
class StringTextBuffer final : public TextBuffer {
public:
    std::string str() const { return std::string(data(), size()); }
    std::size_t capacity() const { return capacity_; }
    /// Empties the buffer and keeps its storage for the next text.
    void clear() { set_storage(storage_.get(), capacity_, 0); }
    /// Empties the buffer and frees its storage.
    void release() {
        storage_.reset();
        capacity_ = 0;
        set_storage(nullptr, 0, 0);
    }

protected:
    void grow(std::size_t capacity) override;

private:
    std::unique_ptr<char[]> storage_;
    std::size_t capacity_ = 0;
};

/// Appends JSON text straight from engine data, byte for byte as dump_compact would write the
/// equivalent JSON value, without building that value first. The caller writes punctuation
/// and keys (already in the sorted order of the value) through `raw`.
class JsonTextWriter {
public:
    explicit JsonTextWriter(TextBuffer& out) : out_(out) {}

    void raw(std::string_view text) { out_.append(text.data(), text.size()); }
    void raw(char character) { out_.push_back(character); }
    /// A quoted, escaped string; throws the library's type_error 316 for invalid UTF-8.
    void string(const std::string& text);
    /// A floating-point number in the library's digits ("5.0"); null for NaN and infinities.
    void number(double value);
    void integer(std::int64_t value);
    void boolean(bool value) { raw(value ? std::string_view("true") : std::string_view("false")); }

    /// Whether any byte above 0x7F has been written (text is then UTF-8, not plain ASCII).
    bool wrote_non_ascii() const { return wrote_non_ascii_; }

private:
    TextBuffer& out_;
    bool wrote_non_ascii_ = false;
};

} // namespace orv
