// Nanoseconds per call of the engine's log, log10 and pow next to the C library's, on the
// inputs a level uses and on random doubles. Built and run by bench/bench_math.py.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "orv/math.hpp"

namespace {

volatile double sink = 0.0;

template <typename Call>
double nanoseconds_per_call(const std::vector<double>& xs, const std::vector<double>& ys,
                            Call call) {
    double best = 1e300;
    for (int round = 0; round < 7; ++round) {
        const auto start = std::chrono::steady_clock::now();
        double sum = 0.0;
        for (std::size_t i = 0; i < xs.size(); ++i) {
            sum += call(xs[i], ys[i]);
        }
        const std::chrono::duration<double, std::nano> spent =
            std::chrono::steady_clock::now() - start;
        sink = sum;
        best = std::min(best, spent.count() / static_cast<double>(xs.size()));
    }
    return best;
}

void row(const char* name, const char* inputs, const std::vector<double>& xs,
         const std::vector<double>& ys, double (*ours)(double, double),
         double (*platform)(double, double)) {
    const double a = nanoseconds_per_call(xs, ys, ours);
    const double b = nanoseconds_per_call(xs, ys, platform);
    std::printf("| %-5s | %-22s | %8.1f | %8.1f | %5.2f |\n", name, inputs, a, b, a / b);
}

} // namespace

int main() {
    constexpr std::size_t kCount = 1 << 20;
    std::mt19937_64 random(2026);
    std::uniform_int_distribution<int> whole(1, 1000);
    std::uniform_int_distribution<int> small(-30, 30);
    std::uniform_int_distribution<int> degree(2, 20);
    std::uniform_real_distribution<double> spread(-300.0, 300.0);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<double> level_x(kCount), level_y(kCount), root_y(kCount), wide_x(kCount),
        wide_y(kCount);
    for (std::size_t i = 0; i < kCount; ++i) {
        level_x[i] = whole(random) / (i % 3 == 0 ? 2.0 : 1.0);
        level_y[i] = small(random);
        root_y[i] = 1.0 / degree(random);
        wide_x[i] = std::pow(10.0, spread(random)) * (1.0 + unit(random));
        wide_y[i] = 700.0 * (unit(random) - 0.5) / std::log(wide_x[i]);
    }
    using Binary = double (*)(double, double);
    const Binary our_log = [](double x, double) { return orv::math::log(x); };
    const Binary c_log = [](double x, double) { return std::log(x); };
    const Binary our_log10 = [](double x, double) { return orv::math::log10(x); };
    const Binary c_log10 = [](double x, double) { return std::log10(x); };
    const Binary our_pow = [](double x, double y) { return orv::math::pow(x, y); };
    const Binary c_pow = [](double x, double y) { return std::pow(x, y); };
    std::printf("| function | inputs | engine ns | C library ns | ratio |\n");
    std::printf("|---|---|---:|---:|---:|\n");
    row("log", "level numbers", level_x, level_y, our_log, c_log);
    row("log", "1e-300 .. 2e300", wide_x, wide_y, our_log, c_log);
    row("log10", "level numbers", level_x, level_y, our_log10, c_log10);
    row("log10", "1e-300 .. 2e300", wide_x, wide_y, our_log10, c_log10);
    row("pow", "level numbers ^ -30..30", level_x, level_y, our_pow, c_pow);
    row("pow", "roots: x ^ (1/k)", level_x, root_y, our_pow, c_pow);
    row("pow", "wide, |y log x| < 350", wide_x, wide_y, our_pow, c_pow);
    return 0;
}
