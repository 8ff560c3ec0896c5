#pragma once

#include <pybind11/pybind11.h>

namespace orv::bindings {

/// Makes every entry point of the module raise MemoryError when memory runs out, where the
/// binding library would let a C++ exception reach the interpreter (which ends it):
/// - each bound function: the library allocates outside its translated `try` (the message of
///   a failed overload resolution, the `self` lookup of a constructor);
/// - the common metaclass's call, which builds a message when `__init__` was not called;
/// - the module's creation slot, run again by `del sys.modules[...]; import`.
/// The library's own failures to allocate a Python container (RuntimeError "Could not
/// allocate ... object!") are reported as the MemoryError they are. Call once, last.
void guard_allocations(pybind11::module_& module);

} // namespace orv::bindings
