#include "library_adapter.hpp"

#include <memory>

#include <nlohmann/json.hpp>

namespace orv::json_adapter {

namespace {

/// Lets the library's serializer append to a TextBuffer.
class TextBufferOutput final : public nlohmann::detail::output_adapter_protocol<char> {
public:
    explicit TextBufferOutput(TextBuffer& buffer) : buffer_(buffer) {}
    void write_character(char c) override { buffer_.push_back(c); }
    void write_characters(const char* s, std::size_t length) override {
        buffer_.append(s, length);
    }

private:
    TextBuffer& buffer_;
};

} // namespace

void write_scalar(TextBuffer& out, const nlohmann::json& value) {
    nlohmann::detail::serializer<nlohmann::json> serializer(
        std::make_shared<TextBufferOutput>(out), ' ');
    serializer.dump(value, false, false, 0);
}

void write_string(TextBuffer& out, const std::string& text) {
    write_scalar(out, nlohmann::json(text));
}

char* write_double(char* first, char* last, double value) {
    return nlohmann::detail::to_chars(first, last, value);
}

} // namespace orv::json_adapter
