#include "interface/slot.h"

namespace kvz {

namespace {
// Static storage: zero-filled before any export can run, never freed.
DistSlot slot_table[kSlotCount];
}  // namespace

DistSlot* slot_at(int index) {
    if (index < 0 || index >= kSlotCount) return nullptr;
    return &slot_table[index];
}

}  // namespace kvz
