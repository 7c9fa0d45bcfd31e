// Rows of the report's lists made by hand, for the export's tests and fuzzing: on
// the host's heap, grown as the collection grows them, so that the report object
// releases them as it releases its own.
#pragma once

#include <cstdint>
#include <cstring>

#include "host_imports.h"
#include "report.h"

namespace testing_support {

// A cleared row appended to a list; null (nothing changed) when the host has no memory.
template <class Row>
Row *AppendRow(Row *&list, int32_t &count, int32_t &capacity) {
    if (count == capacity) {
        void *block = list;
        if (host::VeldarResizeBlock(&block, sizeof(Row) * static_cast<uint32_t>(capacity + pim::kListGrowth)) == 0)
            return nullptr;
        list = static_cast<Row *>(block);
        capacity += pim::kListGrowth;
    }
    Row *row = &list[count++];
    std::memset(static_cast<void *>(row), 0, sizeof *row);
    return row;
}

}  // namespace testing_support
