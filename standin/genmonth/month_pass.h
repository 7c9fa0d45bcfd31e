// One pass over every record of the month that the stand-in host holds, through
// the host's keys and cursors: the least work any report over the month could do,
// and a count of what the month holds.
#pragma once

#include <cstdint>

namespace genmonth {

struct PassCounts {
    uint32_t goods = 0, documents = 0, lines = 0;
};

// Reads the goods of warehouses 0 to 99, every invoice and receipt, and every line
// of each, once. Leaves the host's current warehouse at 100, as the report does.
PassCounts OnePass();

}  // namespace genmonth
