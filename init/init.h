// Initialisation: turns a slot's type and inputs into everything the queries read.
#pragma once

#include "interface/slot.h"

namespace kvz {

void dinitialise(DistSlot& s);

}  // namespace kvz
