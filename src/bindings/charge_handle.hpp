#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "orv/charge.hpp"
#include "orv/environment.hpp"

namespace orv::bindings {

/// What a Python `Charge` holds: a charge of its own, or a place in a zone's charge list.
///
/// Items read from `Environment.charges` must write through to the zone, yet the zone's list
/// may reallocate or be replaced at any later call. So an item keeps the zone alive, names its
/// element by index, and remembers the list's revision: once the list has been restructured
/// the item refuses to be used (ReferenceError) instead of reading or writing a stale slot.
class ChargeHandle {
public:
    explicit ChargeHandle(Charge owned) : owned_(std::move(owned)) {}
    ChargeHandle(std::shared_ptr<Environment> zone, std::size_t index)
        : zone_(std::move(zone)), index_(index), revision_(zone_->charges_revision) {}

    /// The charge this handle stands for. Raises ReferenceError for a stale zone item.
    const Charge& get() { return resolve(); }
    /// The same charge, about to be changed in place: its zone's text is marked changed.
    Charge& edit();

private:
    Charge& resolve();

    std::optional<Charge> owned_;
    std::shared_ptr<Environment> zone_;
    std::size_t index_ = 0;
    std::uint64_t revision_ = 0;
};

} // namespace orv::bindings
