#include "charge_sequence.hpp"

#include <algorithm>
#include <string>
#include <utility>

namespace orv::bindings {

namespace {

/// The most items reserved for up front: beyond that the list grows as items arrive, so that
/// a false length cannot reserve memory that no item will use.
constexpr std::size_t kMostReserved = std::size_t{1} << 16;

std::size_t reported_length(pybind11::handle items) {
    const Py_ssize_t length = PyObject_Size(items.ptr());
    if (length >= 0) {
        return static_cast<std::size_t>(length);
    }
    if (!PyErr_ExceptionMatches(PyExc_OverflowError)) {
        throw pybind11::error_already_set();
    }
    PyErr_Clear();
    const pybind11::object told = items.attr("__len__")();
    throw pybind11::value_error("cannot write charges: the sequence's __len__ returned " +
                                pybind11::str(told).cast<std::string>() +
                                ", which is not a possible length");
}

} // namespace

} // namespace orv::bindings

namespace pybind11::detail {

bool type_caster<orv::bindings::ChargeSequence>::load(handle source, bool convert) {
    if (!object_is_convertible_to_std_vector(source)) {
        return false;
    }
    object items = reinterpret_borrow<object>(source);
    if (!isinstance<sequence>(source)) {
        if (!convert) {
            return false;
        }
        // Sets, generators and views: a tuple has the true length.
        items = tuple(reinterpret_borrow<iterable>(source));
    }
    const std::size_t reported = orv::bindings::reported_length(items);
    std::vector<orv::bindings::ChargeHandle>& loaded = value.items;
    loaded.clear();
    loaded.reserve(std::min(reported, orv::bindings::kMostReserved));
    for (handle item : items) {
        make_caster<orv::bindings::ChargeHandle> element;
        if (!element.load(item, convert)) {
            return false;
        }
        loaded.push_back(cast_op<orv::bindings::ChargeHandle&&>(std::move(element)));
    }
    if (loaded.size() != reported) {
        throw value_error("cannot write charges: the sequence's __len__ returned " +
                          std::to_string(reported) + " while iterating it yields " +
                          std::to_string(loaded.size()));
    }
    return true;
}

} // namespace pybind11::detail
