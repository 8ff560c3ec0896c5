#include "orv/interrupt.hpp"

namespace orv {

namespace {

/// Units of work between two calls of the hook: a few microseconds of walking or writing.
constexpr std::uint32_t kUnitsBetweenChecks = 1024;

std::atomic<InterruptHook> installed_hook{nullptr};

} // namespace

namespace detail {

std::atomic<std::uint32_t> interrupt_countdown{kUnitsBetweenChecks};

void call_interrupt_hook() {
    interrupt_countdown.store(kUnitsBetweenChecks, std::memory_order_relaxed);
    if (InterruptHook hook = installed_hook.load(std::memory_order_acquire)) {
        hook();
    }
}

} // namespace detail

void set_interrupt_hook(InterruptHook hook) noexcept {
    installed_hook.store(hook, std::memory_order_release);
}

} // namespace orv
