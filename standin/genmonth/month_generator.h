// Synthetic months of sales for the stand-in host, in the data-set text format
// (docs/dataset.md), so that a generated month loads, saves and reads like any other.
#pragma once

#include <cstdint>
#include <string>

namespace genmonth {

struct MonthShape {
    uint64_t seed = 1;
    int32_t documents = 1000;       // invoices and receipts, about a twentieth outside the month
    int32_t linesPerDocument = 10;  // on average; every pair of documents has exactly twice this
    int32_t outlets = 100;          // customers, 1 to 32767
    int32_t goods = 1000;           // goods records, spread over the warehouses
    int32_t warehouses = 10;        // warehouses 1 to 99, plus one returns warehouse above 100
    int32_t groups = 10;            // goods groups defined; goods are spread over them
    int32_t selectedGroups = 3;     // groups 1..selectedGroups are the ones a report would choose
    int32_t year = 2025;
    int32_t month = 3;  // 1..12
    // Shapes of a host's tables that the benchmarks leave out (0: none), in percent:
    int32_t ownLineTexts = 0;   // lines with goods texts of their own (the goods renamed since, or gone)
    int32_t repeatedGoods = 0;  // goods records followed by another of the same number and warehouse
};

// Why a shape cannot be generated, or "" when it can.
std::string CheckShape(const MonthShape &shape);

// The month as data-set text. The same shape always gives the same text, on every
// platform (the generator has its own random numbers). The shape must pass CheckShape.
std::string GenerateMonth(const MonthShape &shape);

// The goods groups a report over this month would choose, as "1,2,3".
std::string SelectedGroupList(const MonthShape &shape);

}  // namespace genmonth
