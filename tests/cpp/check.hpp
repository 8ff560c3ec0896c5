#pragma once

// A minimal test harness: named test cases registered at static-initialisation time and a
// CHECK that records failures with their location and keeps going.
#include <functional>
#include <iostream>
#include <string>
#include <vector>

namespace orv::testing {

struct TestCase {
    std::string name;
    std::function<void()> body;
};

inline std::vector<TestCase>& registry() {
    static std::vector<TestCase> cases;
    return cases;
}

inline int& failure_count() {
    static int failures = 0;
    return failures;
}

struct Registrar {
    Registrar(std::string name, std::function<void()> body) {
        registry().push_back({std::move(name), std::move(body)});
    }
};

} // namespace orv::testing

#define ORV_CONCAT_INNER(a, b) a##b
#define ORV_CONCAT(a, b) ORV_CONCAT_INNER(a, b)

#define TEST_CASE(name)                                                                         \
    static void ORV_CONCAT(orv_test_, __LINE__)();                                             \
    static const orv::testing::Registrar ORV_CONCAT(orv_registrar_, __LINE__)(                 \
        name, &ORV_CONCAT(orv_test_, __LINE__));                                               \
    static void ORV_CONCAT(orv_test_, __LINE__)()

#define CHECK(condition)                                                                        \
    do {                                                                                        \
        if (!(condition)) {                                                                     \
            ++orv::testing::failure_count();                                                    \
            std::cerr << __FILE__ << ":" << __LINE__ << ": CHECK failed: " #condition "\n";     \
        }                                                                                       \
    } while (false)
