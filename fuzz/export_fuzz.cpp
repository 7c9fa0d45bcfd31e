// The export texts and file names: rows with any bytes in their fields (as the host
// may store them) and any period text and short name. A file name stays inside its
// buffer and is a plain file name; every line of a file has its columns, one line per
// row; an empty list leaves no file.
#include <cstdio>
#include <cstring>
#include <memory>

#include "fuzz_plugin.h"
#include "host_imports.h"
#include "report.h"
#include "report_rows.h"

namespace {

template <std::size_t N>
void Fill(char (&field)[N], FuzzBytes &in, bool terminated) {
    const std::string bytes = in.Take(N);
    std::memset(field, 0, N);
    std::memcpy(field, bytes.data(), bytes.size());
    if (terminated) field[N - 1] = '\0';
}

template <class Row>
Row &Append(Row *&list, int32_t &count, int32_t &capacity) {
    Row *row = testing_support::AppendRow(list, count, capacity);
    FUZZ_CHECK(row != nullptr, "no heap block");
    return *row;
}

void CheckFileName(const std::string &name, const char *kind) {
    FUZZ_CHECK(name.size() < pim::kExportFileNameSize, "the file name fills its buffer");
    for (unsigned char c : name)
        FUZZ_CHECK(c >= 0x20 && c < 0x80 && std::strchr("\\/:*?\"<>|", c) == nullptr,
                   "the file name \"" + name + "\" holds an unfit character");
    const std::size_t digits = name.find_first_not_of("0123456789");
    FUZZ_CHECK(digits >= 6 && name.compare(digits, 5, std::string("_") + kind + "_") == 0 &&
                   name.size() >= 4 && name.compare(name.size() - 4, 4, ".txt") == 0,
               "the file name \"" + name + "\" is not period_kind_name.txt");
}

// Each line has its columns; lines counts the header too. An empty list leaves no file.
void CheckFile(const std::string &name, std::size_t columns, bool listEmpty, std::size_t count) {
    std::FILE *file = std::fopen(name.c_str(), "rb");
    if (listEmpty) {
        FUZZ_CHECK(file == nullptr, name + ": an empty list left a file");
        return;
    }
    FUZZ_CHECK(file != nullptr, name + " was not written");
    std::fclose(file);
    const std::string text = FuzzReadFile(name);
    FUZZ_CHECK(!text.empty() && text.back() == '\n', name + " does not end with a line feed");
    const std::vector<std::string> lines = FuzzLines(text);
    FUZZ_CHECK(lines.size() == count,
               name + " has " + std::to_string(lines.size()) + " lines, not " + std::to_string(count));
    for (const std::string &line : lines) {
        std::size_t tabs = 0;
        for (char c : line) {
            tabs += c == '\t';
            FUZZ_CHECK(c != '\r' && c != '\0', name + ": a line holds a carriage return or NUL");
        }
        FUZZ_CHECK(tabs + 1 == columns, name + ": a line has " + std::to_string(tabs + 1) + " columns");
    }
    std::remove(name.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    FuzzBindPlugin();
    FuzzBytes in(data, size);
    const uint8_t shape = in.Byte();
    const int32_t outlets = shape & 3, items = shape >> 2 & 7;
    {
        pim::CRaportSprzPapierosow report;
        // The period text as the form's event handler leaves it, or anything at all.
        const std::string period = in.Until('\n', sizeof report.periodStart - 1);
        std::memcpy(report.periodStart, period.data(), period.size());
        Fill(report.options.outletShortName, in, (shape & 0x20) != 0);
        Fill(report.options.branchName, in, true);

        // A name for each kind, into a block of exactly the buffer's size.
        for (const char *kind : {"VAT", "PAR", "TOW"}) {
            std::unique_ptr<char[]> name(new char[pim::kExportFileNameSize]);
            report.MakeExportFileName(name.get(), report.periodStart, kind, report.options.outletShortName);
            CheckFileName(name.get(), kind);
        }

        std::size_t invoiceLines = 1, soldLines = 1;
        for (int32_t o = 0; o < outlets; ++o) {
            pim::OutletRow &row = Append(report.outletList, report.outletCount, report.outletCapacity);
            row.customerNo = static_cast<int16_t>(in.Word());
            Fill(row.name, in, true);  // the collection ends the name inside its field
            Fill(row.street, in, false);
            Fill(row.city, in, false);
            Fill(row.postalCode, in, false);
            Fill(row.taxNumber, in, false);
            const int32_t count = in.Byte() & 3;
            for (int32_t k = 0; k < count; ++k) {
                pim::OutletItemRow &item = Append(row.outletItems, row.outletItemCount, row.outletItemCapacity);
                Fill(item.goodsCode, in, false);
                Fill(item.goodsName, in, false);
                item.quantity = static_cast<int32_t>(in.Dword());
                Fill(item.unit, in, false);
                ++invoiceLines;
            }
        }
        for (int32_t i = 0; i < items; ++i) {
            pim::ItemRow &item = Append(report.itemList, report.itemCount, report.itemCapacity);
            item.sold = static_cast<int16_t>(in.Byte() & 1);
            Fill(item.goodsCode, in, false);
            item.stockQuantity = static_cast<int32_t>(in.Dword());
            item.receiptsQuantity = static_cast<int32_t>(in.Dword());
            soldLines += item.sold != 0;
        }

        char names[3][pim::kExportFileNameSize];
        report.MakeExportFileName(names[0], report.periodStart, "VAT", report.options.outletShortName);
        report.MakeExportFileName(names[1], report.periodStart, "PAR", report.options.outletShortName);
        report.MakeExportFileName(names[2], report.periodStart, "TOW", report.options.outletShortName);
        FUZZ_CHECK(report.ExportFiles() == 0, "the export failed");
        FUZZ_CHECK(StandinEventCount() == 1, "no final notice");
        CheckFile(names[0], 10, outlets == 0, invoiceLines);
        CheckFile(names[1], 3, items == 0, soldLines);
        CheckFile(names[2], 3, items == 0, soldLines);
    }
    FUZZ_CHECK(StandinLiveBlocks() == 0, "the export left heap blocks");
    FUZZ_CHECK(StandinOpenFileCount() == 0, "the export left a file open");
    return 0;
}
