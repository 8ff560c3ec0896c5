// The non-recursive writer must produce exactly the library's own compact dump.
#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include <nlohmann/json.hpp>

#include "check.hpp"
#include "orv/json_text.hpp"

namespace {

using Json = nlohmann::json;

class ValueGenerator {
public:
    explicit ValueGenerator(std::uint32_t seed) : random_(seed) {}

    Json value(int depth) {
        switch (pick(depth > 0 ? 8 : 6)) {
        case 0:
            return nullptr;
        case 1:
            return pick(2) == 1;
        case 2:
            return any_double();
        case 3:
            return static_cast<std::int64_t>(random_()) - (1LL << 31);
        case 4:
        case 5:
            return text();
        case 6: {
            Json array = Json::array();
            for (std::size_t i = pick(5); i > 0; --i) {
                array.push_back(value(depth - 1));
            }
            return array;
        }
        default: {
            Json object = Json::object();
            for (std::size_t i = pick(5); i > 0; --i) {
                object[text()] = value(depth - 1);
            }
            return object;
        }
        }
    }

private:
    std::size_t pick(std::size_t count) { return random_() % count; }

    /// Every bit pattern: NaNs, infinities, subnormals and ordinary arithmetic results.
    double any_double() {
        if (pick(2) == 0) {
            return static_cast<double>(random_() % 100000) / static_cast<double>(1 + pick(1000));
        }
        const std::uint64_t bits = (static_cast<std::uint64_t>(random_()) << 32) | random_();
        double value = 0.0;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    /// Mostly valid text with escapes and multi-byte characters, sometimes broken UTF-8.
    std::string text() {
        static const char* const pieces[] = {"a", "id", "\"", "\\", "\n", "\x01", "\x7f", "é",
                                             "☃", "𝄞", "\xff", "\xe2\x82", " "};
        std::string result;
        for (std::size_t i = pick(6); i > 0; --i) {
            const std::size_t piece = pick(pick(4) == 0 ? 13 : 10);
            result += pieces[piece];
        }
        return result;
    }

    std::mt19937 random_;
};

/// The library's dump, or the message of the error it throws.
std::string reference_text(const Json& value) {
    try {
        return value.dump();
    } catch (const Json::type_error& error) {
        return std::string("error: ") + error.what();
    }
}

std::string compact_text(const Json& value) {
    try {
        return orv::dump_compact(value);
    } catch (const Json::type_error& error) {
        return std::string("error: ") + error.what();
    }
}

} // namespace

TEST_CASE("compact text equals the library dump on generated documents") {
    ValueGenerator generator(20261208);
    int errors_seen = 0;
    for (int round = 0; round < 20000; ++round) {
        const Json value = generator.value(4);
        const std::string expected = reference_text(value);
        errors_seen += expected.rfind("error: ", 0) == 0 ? 1 : 0;
        CHECK(compact_text(value) == expected);
    }
    CHECK(errors_seen > 0); // the invalid UTF-8 paths were exercised
}

TEST_CASE("compact text of empty containers and scalars") {
    CHECK(orv::dump_compact(Json::object()) == "{}");
    CHECK(orv::dump_compact(Json::array()) == "[]");
    CHECK(orv::dump_compact(Json(5.0)) == "5.0");
    CHECK(orv::dump_compact(Json(nullptr)) == "null");
    CHECK(orv::dump_compact(Json::parse(R"({"b":[{},[]],"a":{"c":[1,2.5]}})")) ==
          R"({"a":{"c":[1,2.5]},"b":[{},[]]})");
}

TEST_CASE("compact text of a very deep document does not recurse") {
    Json deepest = Json::array();
    Json* slot = &deepest;
    constexpr int kDepth = 200000;
    for (int level = 0; level < kDepth; ++level) {
        slot->push_back(Json::array());
        slot = &(*slot)[0];
    }
    const std::string text = orv::dump_compact(deepest);
    CHECK(text.size() == 2 * static_cast<std::size_t>(kDepth + 1));
    CHECK(text.substr(0, 3) == "[[[");
}

namespace {

std::string written_number(double value) {
    orv::TextBuffer buffer;
    orv::JsonTextWriter out(buffer);
    out.number(value);
    return buffer.str();
}

} // namespace

TEST_CASE("integral numbers take the shortcut and still match the library digits") {
    int mismatches = 0;
    auto compare = [&](double value) {
        if (written_number(value) != Json(value).dump()) {
            ++mismatches;
        }
    };
    for (int value = -1000000; value <= 1000000; ++value) {
        compare(value);
    }
    std::mt19937_64 random(7);
    for (int round = 0; round < 1000000; ++round) {
        const auto magnitude = static_cast<double>(random() % 1000000000000000ULL);
        compare(round % 2 == 0 ? magnitude : -magnitude);
    }
    for (double power = 1; power < 2e15; power *= 2) {
        compare(power - 1);
        compare(power);
        compare(power + 1);
    }
    for (double power = 1; power <= 1e16; power *= 10) {
        compare(power - 1);
        compare(power);
        compare(-power);
    }
    compare(0.0);
    compare(-0.0);
    CHECK(mismatches == 0);
}

TEST_CASE("the text route writes the same bytes as the value route for every JSON type") {
    ValueGenerator generator(42);
    for (int round = 0; round < 2000; ++round) {
        const Json value = generator.value(0);
        if (!value.is_number_float() && !value.is_string()) {
            continue;
        }
        orv::TextBuffer buffer;
        orv::JsonTextWriter out(buffer);
        std::string expected;
        std::string written;
        try {
            expected = value.dump();
        } catch (const Json::type_error& error) {
            expected = error.what();
        }
        try {
            if (value.is_string()) {
                out.string(value.get<std::string>());
            } else {
                out.number(value.get<double>());
            }
            written = buffer.str();
        } catch (const Json::type_error& error) {
            written = error.what();
        }
        CHECK(written == expected);
    }
}
