#pragma once

#include <vector>

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "charge_handle.hpp"

namespace orv::bindings {

/// The charges written to `Environment.charges`, in the order given.
struct ChargeSequence {
    std::vector<ChargeHandle> items;
};

} // namespace orv::bindings

namespace pybind11::detail {

/// Accepts what a list of Charge accepts and shows the same type in signatures, but a
/// sequence's `__len__` is only a hint for reserving room: a length no sequence can have, or
/// one that differs from the number of items it yields, raises ValueError naming the length.
template <>
struct type_caster<orv::bindings::ChargeSequence> {
    PYBIND11_TYPE_CASTER(orv::bindings::ChargeSequence,
                         io_name("collections.abc.Sequence", "list") + const_name("[") +
                             make_caster<orv::bindings::ChargeHandle>::name + const_name("]"));

    bool load(handle source, bool convert);
};

} // namespace pybind11::detail
