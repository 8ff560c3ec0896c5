#include "charge_handle.hpp"

#include <pybind11/pybind11.h>

#include "orv/validate.hpp"

namespace orv::bindings {

Charge& ChargeHandle::resolve() {
    if (owned_) {
        return *owned_;
    }
#ifdef ORV_VALIDATE
    validate::charges_revision(*zone_);
#endif
    // The index test alone already keeps memory safe; the revision test keeps the item from
    // silently standing for whichever charge has since moved into its slot.
    if (zone_->charges_revision != revision_ || index_ >= zone_->charges.size()) {
        PyErr_SetString(PyExc_ReferenceError,
                        "this Charge was read from Environment.charges and its zone's charge "
                        "list has changed since (add_charge, a write to charges, a spell or a "
                        "collapse); read Environment.charges again");
        throw pybind11::error_already_set();
    }
    return zone_->charges[index_];
}

Charge& ChargeHandle::edit() {
    Charge& charge = resolve(); // refuses a stale item before anything is marked
    if (zone_) {
        zone_->mark_text_changed();
    }
    return charge;
}

} // namespace orv::bindings
