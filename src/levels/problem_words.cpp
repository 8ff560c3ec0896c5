#include "problem_words.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "close_match.hpp"

namespace orv::levels {

std::string at(const std::string& place, const std::string& key) {
    return place.empty() ? key : place + "." + key;
}

std::string at(const std::string& place, std::size_t index) {
    return place + "[" + std::to_string(index) + "]";
}

std::string shown(const std::string& place) { return place.empty() ? "top zone" : place; }

std::string python_float_text(double value) {
    if (!std::isfinite(value)) {
        return std::isnan(value) ? "nan" : value > 0 ? "inf" : "-inf";
    }
    if (value == 0.0) {
        return std::signbit(value) ? "-0.0" : "0.0";
    }
    // The fewest significant digits that read back as the value, rounded to nearest, as
    // Python's repr chooses them.
    std::array<char, 40> buffer{};
    for (int precision = 0; precision <= 17; ++precision) {
        std::snprintf(buffer.data(), buffer.size(), "%.*e", precision, value);
        if (std::strtod(buffer.data(), nullptr) == value) {
            break;
        }
    }
    const std::string written(buffer.data());
    const std::size_t exponent_at = written.find('e');
    const int exponent = std::atoi(written.c_str() + exponent_at + 1);
    const bool negative = written[0] == '-';
    std::string digits;
    for (std::size_t index = negative ? 1 : 0; index < exponent_at; ++index) {
        if (written[index] != '.') {
            digits += written[index];
        }
    }
    while (digits.size() > 1 && digits.back() == '0') {
        digits.pop_back();
    }
    std::string text = negative ? "-" : "";
    if (exponent < -4 || exponent >= 16) {
        text += digits.substr(0, 1);
        if (digits.size() > 1) {
            text += "." + digits.substr(1);
        }
        const int magnitude = std::abs(exponent);
        return text + (exponent < 0 ? "e-" : "e+") + (magnitude < 10 ? "0" : "") +
               std::to_string(magnitude);
    }
    const int point = exponent + 1; // digits before the decimal point
    if (point <= 0) {
        return text + "0." + std::string(static_cast<std::size_t>(-point), '0') + digits;
    }
    const auto whole = static_cast<std::size_t>(point);
    if (whole >= digits.size()) {
        return text + digits + std::string(whole - digits.size(), '0') + ".0";
    }
    return text + digits.substr(0, whole) + "." + digits.substr(whole);
}

std::string kind_of(const nlohmann::json& value) {
    if (value.is_null()) {
        return "null";
    }
    if (value.is_boolean()) {
        return value.get<bool>() ? "true" : "false";
    }
    if (value.is_number_unsigned()) {
        return "the number " + std::to_string(value.get<std::uint64_t>());
    }
    if (value.is_number_integer()) {
        return "the number " + std::to_string(value.get<std::int64_t>());
    }
    if (value.is_number()) {
        return "the number " + python_float_text(value.get<double>());
    }
    return value.is_string() ? "a string" : value.is_array() ? "a list" : "an object";
}

std::string did_you_mean(const std::string& name, const std::vector<std::string>& known) {
    const std::string close = closest_match(name, known);
    return close.empty() ? std::string() : " (did you mean \"" + close + "\"?)";
}

void key_problems(const nlohmann::json& object, const std::string& place,
                  const std::vector<std::string>& required, std::vector<LevelProblem>& problems) {
    const std::string where = shown(place);
    for (const std::string& key : required) {
        if (!object.contains(key)) {
            problems.push_back({where, "missing key \"" + key + "\""});
        }
    }
    for (const auto& member : object.items()) {
        if (std::find(required.begin(), required.end(), member.key()) == required.end()) {
            problems.push_back({where, "unknown key \"" + member.key() + "\"" +
                                           did_you_mean(member.key(), required)});
        }
    }
}

LevelProblem expected(const std::string& place, const std::string& label,
                      const nlohmann::json& value) {
    return {place, "expected " + label + ", found " + kind_of(value)};
}

bool is_text(const nlohmann::json& value, const std::string& place,
             std::vector<LevelProblem>& problems) {
    if (value.is_string()) {
        return true;
    }
    problems.push_back(expected(place, "a string", value));
    return false;
}

} // namespace orv::levels
