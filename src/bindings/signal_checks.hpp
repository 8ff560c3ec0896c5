#pragma once

namespace orv::bindings {

/// Lets signals through long engine calls: the engine's interrupt hook runs the pending
/// signal handlers, and an exception they raise (KeyboardInterrupt) abandons the call.
void install_signal_checks();

/// Held while a frame is being stepped: a signal handler (or a thread that runs while one
/// does) may run Python code in the middle of a step, and a second step at that moment could
/// free zones the first is walking. Construction raises RuntimeError while another exists.
class ExclusiveStep {
public:
    ExclusiveStep();
    ~ExclusiveStep();
    ExclusiveStep(const ExclusiveStep&) = delete;
    ExclusiveStep& operator=(const ExclusiveStep&) = delete;
};

} // namespace orv::bindings
