#pragma once

// Random levels of every shape for the C++ tests: any kind of agent in any state, charges of
// every polarity (out-of-range ones included) with special magnitudes, and texts with escapes,
// astral characters and now and then invalid UTF-8.
#include <cstdint>
#include <iterator>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "orv/agents.hpp"
#include "orv/environment.hpp"

namespace orv::testing {

class LevelGenerator {
public:
    explicit LevelGenerator(std::uint32_t seed) : random_(seed) {}

    std::shared_ptr<orv::Environment> level() {
        std::vector<std::shared_ptr<orv::Environment>> zones{
            std::make_shared<orv::Environment>(text())};
        for (std::size_t count = pick(12); count > 0; --count) {
            auto zone = std::make_shared<orv::Environment>(text());
            zones[pick(zones.size())]->add_environment(zone);
            zones.push_back(zone);
        }
        for (std::size_t count = pick(40); count > 0; --count) {
            zones[pick(zones.size())]->add_charge(charge());
        }
        for (std::size_t count = pick(20); count > 0; --count) {
            zones[pick(zones.size())]->add_magician(agent());
        }
        zones[pick(zones.size())]->is_time_frozen = pick(2) == 1;
        return zones.front();
    }

    std::size_t pick(std::size_t count) { return random_() % count; }

    double magnitude() {
        static const double specials[] = {0.0, -0.0, 1e-9, 1e15, 1e16, 0.1, 2.5, 1e-300,
                                          std::numeric_limits<double>::infinity(),
                                          std::numeric_limits<double>::quiet_NaN()};
        switch (pick(4)) {
        case 0:
            return specials[pick(std::size(specials))];
        case 1:
            return static_cast<double>(static_cast<int>(pick(200)) - 100);
        default:
            return std::uniform_real_distribution<double>(-50, 50)(random_);
        }
    }

public:
    std::string text() {
        static const char* const pieces[] = {"z", "c1", "é", "\"", "\\", "\n", "\x1f", "𝄞",
                                             "\xff"};
        std::string result;
        for (std::size_t count = pick(4); count > 0; --count) {
            // Invalid UTF-8 is rare, so most levels run to their end.
            result += pieces[pick(pick(50) == 0 ? 9 : 8)];
        }
        return result;
    }

    orv::Charge charge() {
        return orv::Charge(magnitude(), static_cast<orv::ChargePolarity>(pick(4)), text());
    }

    std::shared_ptr<orv::MagicianAgent> agent() {
        std::shared_ptr<orv::MagicianAgent> made;
        const std::string id = text();
        switch (pick(13)) {
        case 0: made = std::make_shared<orv::PlusMagician>(id); break;
        case 1: made = std::make_shared<orv::MinusMagician>(id); break;
        case 2: made = std::make_shared<orv::MultiplyMagician>(id); break;
        case 3: made = std::make_shared<orv::DivideMagician>(id); break;
        case 4: made = std::make_shared<orv::ModuloMagician>(id); break;
        case 5: made = std::make_shared<orv::PowerSorcerer>(id); break;
        case 6: made = std::make_shared<orv::RootMagician>(id); break;
        case 7: made = std::make_shared<orv::LogMagician>(id); break;
        case 8: made = std::make_shared<orv::FactorialMagician>(id); break;
        case 9: made = std::make_shared<orv::AbsMagician>(id); break;
        case 10: made = std::make_shared<orv::Chronomancer>(id); break;
        case 11: made = std::make_shared<orv::EqualsGate>(id, magnitude()); break;
        default:
            made = std::make_shared<orv::InequalityGate>(
                id, magnitude(), static_cast<orv::InequalityGate::ComparisonType>(pick(5)));
        }
        made->state = static_cast<orv::AgentState>(pick(4));
        return made;
    }

private:
    std::mt19937 random_;
};

} // namespace orv::testing
