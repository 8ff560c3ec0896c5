#include <exception>
#include <iostream>

#include "check.hpp"

int main() {
    int passed = 0;
    int failed = 0;
    for (const auto& test : orv::testing::registry()) {
        const int failures_before = orv::testing::failure_count();
        try {
            test.body();
        } catch (const std::exception& error) {
            ++orv::testing::failure_count();
            std::cerr << test.name << ": unexpected exception: " << error.what() << "\n";
        }
        if (orv::testing::failure_count() == failures_before) {
            ++passed;
        } else {
            ++failed;
            std::cerr << "FAILED: " << test.name << "\n";
        }
    }
    std::cout << passed << " passed, " << failed << " failed\n";
    return failed == 0 ? 0 : 1;
}
