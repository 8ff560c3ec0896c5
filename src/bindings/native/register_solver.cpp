#include "register_native.hpp"

namespace orv::native {

void register_solver(pybind11::module_&) {}

} // namespace orv::native
