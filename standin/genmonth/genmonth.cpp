// genmonth: writes a synthetic month of sales in the data-set format, for the
// stand-in host (pimhost --data FILE) and the benchmarks.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "month_generator.h"

namespace {

void Usage() {
    std::fputs(
        "usage: genmonth [options] [-o FILE]\n"
        "  --seed N          random seed (default 1); the same options give the same month\n"
        "  --documents N     invoices and receipts (default 1000)\n"
        "  --lines N         lines per document on average (default 10)\n"
        "  --outlets N       customers, 1..32767 (default 100)\n"
        "  --goods N         goods records over all warehouses (default 1000)\n"
        "  --warehouses N    warehouses 1..99 (default 10)\n"
        "  --groups N        goods groups (default 10)\n"
        "  --selected N      groups 1..N are the ones to choose in the form (default 3)\n"
        "  --year Y          the year (default 2025)\n"
        "  --month M         the month 1..12 (default 3)\n"
        "  --own-line-texts P  P percent of lines keep goods texts of their own, as a host's\n"
        "                    lines do when their goods were renamed since or are gone (default 0)\n"
        "  --repeated-goods P  P percent of goods numbers stand twice in their warehouse\n"
        "                    (default 0)\n"
        "  -o FILE           write to FILE instead of standard output\n",
        stderr);
}

}  // namespace

int main(int argc, char **argv) {
    genmonth::MonthShape shape;
    const char *output = nullptr;
    struct Option {
        const char *name;
        int32_t *value;
    };
    int32_t seed = 1;
    const Option options[] = {{"--seed", &seed},           {"--documents", &shape.documents},
                              {"--lines", &shape.linesPerDocument}, {"--outlets", &shape.outlets},
                              {"--goods", &shape.goods},   {"--warehouses", &shape.warehouses},
                              {"--groups", &shape.groups}, {"--selected", &shape.selectedGroups},
                              {"--year", &shape.year},     {"--month", &shape.month},
                              {"--own-line-texts", &shape.ownLineTexts}, {"--repeated-goods", &shape.repeatedGoods}};
    for (int i = 1; i < argc; ++i) {
        if (i + 1 >= argc) return Usage(), 2;
        if (std::strcmp(argv[i], "-o") == 0) {
            output = argv[++i];
            continue;
        }
        const Option *found = nullptr;
        for (const Option &o : options)
            if (std::strcmp(argv[i], o.name) == 0) found = &o;
        char *end = nullptr;
        long value = found != nullptr ? std::strtol(argv[i + 1], &end, 10) : 0;
        if (found == nullptr || *end != '\0' || value < 0 || value > 1000000000) return Usage(), 2;
        *found->value = static_cast<int32_t>(value);
        ++i;
    }
    shape.seed = static_cast<uint64_t>(seed);
    std::string problem = genmonth::CheckShape(shape);
    if (!problem.empty()) {
        std::fprintf(stderr, "genmonth: %s\n", problem.c_str());
        return 2;
    }
    const std::string month = genmonth::GenerateMonth(shape);
    std::FILE *out = output != nullptr ? std::fopen(output, "wb") : stdout;
    if (out == nullptr) {
        std::fprintf(stderr, "genmonth: cannot write %s\n", output);
        return 1;
    }
    const bool written = std::fwrite(month.data(), 1, month.size(), out) == month.size();
    if ((output != nullptr ? std::fclose(out) : std::fflush(out)) != 0 || !written) {
        std::fprintf(stderr, "genmonth: writing %s failed\n", output != nullptr ? output : "the month");
        return 1;
    }
    return 0;
}
