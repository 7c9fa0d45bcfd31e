// The whole command, as the host's menu runs it, over any month of sales, with the
// choices remembered from an earlier run and one allocation of the host's heap
// failing. Afterwards no heap block, cursor or running flag is left behind, and every
// file written has its columns on every line.
//
// Input: the heap call to fail (0: none), the month, the document kinds, a mask of
// goods groups 0-15, a byte whose bit 0 abandons the form, then the data set.
#include <cstdio>
#include <cstring>

#include "fuzz_plugin.h"
#include "report.h"

namespace {

const char *const kOptionsFile = "RuzozavURivuvorur.opc";
constexpr uint16_t kReportRunning = 0x8000;

void CheckWrittenFiles() {
    for (int32_t i = 0; const char *name = StandinWrittenFile(i); ++i) {
        if (std::strcmp(name, kOptionsFile) == 0) continue;
        const std::string file(name);
        std::FILE *f = std::fopen(name, "rb");
        if (f == nullptr) continue;  // removed: empty, or not written completely
        std::fclose(f);
        const std::size_t columns = file.find("_VAT_") != std::string::npos ? 10 : 3;
        const std::string text = FuzzReadFile(file);
        FUZZ_CHECK(!text.empty() && text.back() == '\n', file + " does not end with a line feed");
        for (const std::string &line : FuzzLines(text)) {
            std::size_t tabs = 0;
            for (char c : line) tabs += c == '\t';
            FUZZ_CHECK(tabs + 1 == columns, file + ": a line has " + std::to_string(tabs + 1) + " columns");
        }
        std::remove(name);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    FuzzBindPlugin();
    FuzzBytes in(data, size);
    const uint8_t failCall = in.Byte();
    pim::ReportOptions options{};
    options.month = in.Byte();
    options.documentKinds = in.Byte();
    const uint16_t groups = in.Word();
    for (int g = 0; g < 16; ++g) options.groupSelected[g] = (groups >> g) & 1;
    const bool abandon = (in.Byte() & 1) != 0;
    std::strcpy(options.outletShortName, "SKLEP1");
    std::strcpy(options.branchName, "Lublin Centrum");
    const std::string dataset = in.Rest();
    if (StandinLoadDatasetText(dataset.c_str(), "month") != nullptr) return 0;
    FUZZ_CHECK(FuzzWriteFile(kOptionsFile, std::string(reinterpret_cast<const char *>(&options), sizeof options)),
               "cannot write the options file");

    if (abandon) StandinFormScriptAdd("key Esc");
    StandinFailResizeCall(failCall);
    OnReportCommand();
    StandinFailResizeCall(0);

    FUZZ_CHECK(StandinLiveBlocks() == 0, "the command left heap blocks");
    FUZZ_CHECK(StandinOpenFileCount() == 0, "the command left a file open");
    StandinCursorStats cursors{};
    StandinGetCursorStats(&cursors);
    FUZZ_CHECK(cursors.openNow == 0 && cursors.opened == cursors.closed, "the command left a cursor open");
    FUZZ_CHECK(cursors.misuses == 0, "the command misused a cursor");
    FUZZ_CHECK((StandinStateFlags() & kReportRunning) == 0, "the running flag stays set");
    FUZZ_CHECK(StandinFormError()[0] == '\0', std::string("the form failed: ") + StandinFormError());
    if (!abandon && (options.documentKinds & 3) != 0) {
        StandinEvent last{};
        FUZZ_CHECK(StandinGetEvent(StandinEventCount() - 1, &last) == 1 && std::strncmp(last.text, "Plik ", 5) == 0,
                   "a confirmed run ends without its final notice");
    }
    CheckWrittenFiles();
    std::remove(kOptionsFile);
    return 0;
}
