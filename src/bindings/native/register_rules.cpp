#include "register_native.hpp"

namespace orv::native {

void register_rules(pybind11::module_&) {}

} // namespace orv::native
