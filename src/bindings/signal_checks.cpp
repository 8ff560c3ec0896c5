#include "signal_checks.hpp"

#include <stdexcept>

#include <pybind11/pybind11.h>

#include "orv/interrupt.hpp"

namespace orv::bindings {

namespace {

/// Whether a step is under way; only read and written with the interpreter lock held.
bool stepping = false;

void run_pending_signal_handlers() {
    if (PyErr_CheckSignals() != 0) {
        throw pybind11::error_already_set();
    }
}

} // namespace

void install_signal_checks() { set_interrupt_hook(&run_pending_signal_handlers); }

ExclusiveStep::ExclusiveStep() {
    if (stepping) {
        throw std::runtime_error("next_frame cannot run while another next_frame call is in "
                                 "progress (it was called from a signal handler, or from a "
                                 "thread that ran while one was handled)");
    }
    stepping = true;
}

ExclusiveStep::~ExclusiveStep() { stepping = false; }

} // namespace orv::bindings
