// The record-size report with the most rows it can have (three tables), any sizes
// and any module path: the text stays within its buffer and nothing is cut, every
// row and the closing line included.
#include <cstring>

#include "fuzz_plugin.h"
#include "mazovia.h"

namespace {

const char *const kNames[] = {"Tspr", "Tspr_dok", "k9"};

// The list the check builds links records for good, so the target owns three rows
// and changes their sizes and names on each run.
pim::TableSizeRecord rows[3];

void RegisterRows() {
    static const bool registered = [] {
        for (pim::TableSizeRecord &r : rows) {
            r = {1, 2, kNames[0], nullptr};
            pim::AddTableSizeRecord(&r);
        }
        return true;
    }();
    FUZZ_CHECK(registered && pim::CountTableSizeRecords() == 3, "the rows are not listed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    FuzzBindPlugin();
    RegisterRows();
    FuzzBytes in(data, size);
    std::string expectedRows;
    for (pim::TableSizeRecord &r : rows) {
        r.tableName = kNames[in.Byte() % 3];
        r.pluginSize = static_cast<int32_t>(in.Dword());
        r.hostSize = static_cast<int32_t>(in.Dword());
        expectedRows += std::string("\x01tp25p40\x01") + r.tableName + "\t" + std::to_string(r.pluginSize) + "\t" +
                        (r.hostSize == 0 ? std::string("brak") : std::to_string(r.hostSize)) + "\n";
    }
    const std::string path = in.Until('\0', sizeof pim::pluginPath - 1);
    std::memset(pim::pluginPath, 0, sizeof pim::pluginPath);
    std::memcpy(pim::pluginPath, path.data(), path.size());

    pim::ShowRefusalReport();

    FUZZ_CHECK(StandinEventCount() == 1, "no report shown");
    StandinEvent shown{};
    FUZZ_CHECK(StandinGetEvent(0, &shown) == 1 && shown.text != nullptr, "no report text");
    const std::string text(shown.text, shown.textLength);
    FUZZ_CHECK(text.size() < 3072 && std::strlen(shown.text) == text.size(), "the report overruns its buffer");
    FUZZ_CHECK(text.find(expectedRows) != std::string::npos, "a row is missing or cut");
    const std::size_t slash = path.rfind('\\');
    const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string ending = mazovia::fromUtf8("\nModuł wtyczki \x02") + file + mazovia::fromUtf8("\x01\nNIE zostanie załadowany!");
    FUZZ_CHECK(text.size() >= ending.size() && text.compare(text.size() - ending.size(), ending.size(), ending) == 0,
               "the report is cut before its end");
    return 0;
}
