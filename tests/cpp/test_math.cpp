// The engine's number routines where Python cannot reach them: the shortest text against the
// C++ library's (where it has floating-point to_chars), and the precise path of log and pow,
// which the public functions reach only about once in 10^5 calls, against those functions.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include "math/precise.hpp"
#include "check.hpp"
#include "orv/math.hpp"

namespace {

double from_bits(std::uint64_t bits) {
    double value = 0.0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

} // namespace

TEST_CASE("shortest_text writes what std::to_chars writes") {
#if defined(__cpp_lib_to_chars) || (defined(__GLIBCXX__) && __GNUC__ >= 11)
    std::mt19937_64 random(17);
    int mismatches = 0;
    const auto compare = [&](double value) {
        char buffer[64];
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
        mismatches += orv::math::shortest_text(value) != std::string(buffer, end);
    };
    for (int i = 0; i < 20000; ++i) {
        const double value = from_bits(random());
        if (!std::isnan(value)) {
            compare(value);
        }
        compare(static_cast<double>(static_cast<std::int64_t>(random() % 2000001) - 1000000) /
                static_cast<double>(1 + random() % 1000));
    }
    for (int exponent = -1074; exponent < 1024; ++exponent) {
        const double power = std::ldexp(1.0, exponent);
        compare(power);
        compare(std::nextafter(power, 0.0));
        compare(std::nextafter(power, HUGE_VAL));
    }
    CHECK(mismatches == 0);
#endif
    CHECK(orv::math::shortest_text(2.5) == "2.5");
    CHECK(orv::math::shortest_text(-9.0) == "-9");
    CHECK(orv::math::shortest_text(1e-10) == "1e-10");
    CHECK(orv::math::shortest_text(-0.0) == "-0");
    CHECK(orv::math::shortest_text(-HUGE_VAL) == "-inf");
    CHECK(orv::math::shortest_text(5088143117563430912.0) == "5088143117563430912");
}

TEST_CASE("the precise path of log, log10 and pow gives the public functions' results") {
    std::mt19937_64 random(29);
    int mismatches = 0;
    for (int i = 0; i < 300; ++i) {
        const double x = from_bits(random() >> 1);
        if (!(x > 0.0) || std::isinf(x) || x == 1.0) {
            continue;
        }
        const double log_x = orv::math::log(x);
        const double log10_x = orv::math::log10(x);
        mismatches += !same_bits(orv::math::log_precise(x, false, log_x), log_x);
        mismatches += !same_bits(orv::math::log_precise(x, true, log10_x), log10_x);
        const double base = static_cast<double>(2 + random() % 1000) / 3.0;
        const double exponent = (random() % 2 == 0)
                                    ? 1.0 / static_cast<double>(2 + random() % 19)
                                    : static_cast<double>(random() % 61) - 30.0;
        if (exponent != 0.0) {
            mismatches += !same_bits(orv::math::pow_precise(base, exponent),
                                     orv::math::pow(base, exponent));
        }
    }
    CHECK(mismatches == 0);
}

TEST_CASE("the precise path of pow rounds exact results and midpoints exactly") {
    // (2^27 - 1)^2 = 2^54 - 2^28 + 1 lies halfway between two doubles: ties go to even.
    const double side = 134217727.0;
    CHECK(same_bits(orv::math::pow_precise(side, 2.0), 18014398241046528.0));
    CHECK(same_bits(orv::math::pow_precise(3.0, 4.0), 81.0));
    CHECK(same_bits(orv::math::pow_precise(0x1p-1024, 0.5), 0x1p-512));
    CHECK(same_bits(orv::math::pow_precise(6561.0, 0.25), 9.0));
    CHECK(same_bits(orv::math::pow_precise(2.0, -1075.0), 0.0)); // half the least subnormal
    CHECK(same_bits(orv::math::pow_precise(3.0, -1.0), 1.0 / 3.0));
}
