// The engine's own log, log10 and pow, so that Python code and tests can use the very numbers
// the spells produce.
#include <pybind11/pybind11.h>

#include "orv/math.hpp"
#include "register_native.hpp"

namespace py = pybind11;

namespace orv::native {

void register_math(py::module_& module) {
    module.def("log", &math::log, py::arg("x"));
    module.def("log10", &math::log10, py::arg("x"));
    module.def("pow", &math::pow, py::arg("x"), py::arg("y"));
}

} // namespace orv::native
