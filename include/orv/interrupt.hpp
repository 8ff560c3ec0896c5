#pragma once

#include <atomic>
#include <cstdint>

namespace orv {

/// Called now and then during long work (walks over a zone tree, writing a text). It may
/// throw to abandon the work; whatever it throws reaches the caller of the engine.
using InterruptHook = void (*)();

/// Installs the hook that check_interrupt calls; nullptr removes it. The host that runs the
/// engine (the Python bindings) installs one to let signals through; without one the engine
/// never stops early.
void set_interrupt_hook(InterruptHook hook) noexcept;

namespace detail {

/// Units of work left before the hook is called again.
extern std::atomic<std::uint32_t> interrupt_countdown;
/// Resets the countdown and calls the hook, if any.
void call_interrupt_hook();

} // namespace detail

/// One unit of long work is done (a zone visited, a charge or an agent written): every few
/// thousand units the interrupt hook runs, so that a long call can be stopped within a
/// fraction of a millisecond. Each unit must leave the engine's data consistent, because the
/// hook may throw. Relaxed loads and stores: the count only spaces the calls out, it needs no
/// exactness across threads.
inline void check_interrupt() {
    const std::uint32_t left = detail::interrupt_countdown.load(std::memory_order_relaxed);
    if (left != 0) {
        detail::interrupt_countdown.store(left - 1, std::memory_order_relaxed);
        return;
    }
    detail::call_interrupt_hook();
}

} // namespace orv
