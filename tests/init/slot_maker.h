// A zeroed slot of a given type for the initialisation tests.
#pragma once

#include <cstring>
#include <memory>

#include "interface/slot.h"

namespace kvz::testing_init {

inline std::unique_ptr<DistSlot> make_slot(int dtype) {
    auto s = std::make_unique<DistSlot>();  // value-initialised: every field 0
    s->dtype = dtype;
    return s;
}

// A byte-for-byte copy (padding included), for comparing whole records.
inline std::unique_ptr<DistSlot> copy_of(const DistSlot& s) {
    auto c = std::make_unique<DistSlot>();
    std::memcpy(static_cast<void*>(c.get()), &s, sizeof(DistSlot));
    return c;
}

// Relative closeness for values computed by closed forms (log_gamma is good
// to about 1e-10 relative, so formulas through it are held to 1e-9).
inline bool close(double got, double want, double rel = 1e-9) {
    const double scale = want < 0 ? -want : want;
    const double diff = got - want;
    return (diff < 0 ? -diff : diff) <= rel * (scale > 1 ? scale : 1);
}

}  // namespace kvz::testing_init
