// One pass over every record of the month that the stand-in host holds, through
// the host's keys and cursors: the least work any report over the month could do,
// and a count of what the month holds.
#pragma once

#include <cstdint>
#include <vector>

namespace genmonth {

struct PassCounts {
    uint32_t goods = 0, documents = 0, lines = 0;
};

// Reads the goods of warehouses 0 to 99, every invoice and receipt, and every line
// of each, once. Leaves the host's current warehouse at 100, as the report does.
PassCounts OnePass();

// Reads the documents of one kind once, and the lines of those a report of the
// month counts: dated from first to last (the host's stored dates), of one of
// customers or, on receipts, of no customer. The least a report must read to
// collect that kind's sales once it knows its outlets (goods stays 0).
PassCounts CountedPass(int16_t kind, const char *first, const char *last, std::vector<int16_t> customers);

}  // namespace genmonth
