// The options file with any content: a load leaves every text ending inside its
// field and a month of the twelve; a file that is already sound loads byte for byte;
// what is saved loads back unchanged.
#include <cstdio>
#include <cstring>

#include "fuzz_plugin.h"
#include "report.h"

namespace {

const char *const kOptionsFile = "RuzozavURivuvorur.opc";

bool Sound(const pim::ReportOptions &o) {
    return std::memchr(o.outletShortName, '\0', sizeof o.outletShortName) != nullptr &&
           std::memchr(o.branchName, '\0', sizeof o.branchName) != nullptr && o.month <= 11;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    FuzzBindPlugin();
    const std::string file(reinterpret_cast<const char *>(data), size);
    FUZZ_CHECK(FuzzWriteFile(kOptionsFile, file), "cannot write the options file");
    {
        pim::CRaportSprzPapierosow report;
        std::memset(&report.options, 0xA5, sizeof report.options);
        const int32_t loaded = report.LoadOptions();
        FUZZ_CHECK(Sound(report.options), "a loaded text runs past its field or the month is not one of twelve");
        if (size < sizeof(pim::ReportOptions)) {
            FUZZ_CHECK(loaded == 1, "a short file loads as complete");
            static const pim::ReportOptions cleared{};
            FUZZ_CHECK(std::memcmp(&report.options, &cleared, sizeof cleared) == 0, "a short file leaves choices");
            FUZZ_CHECK(StandinEventCount() == 1, "a short file is not reported");
        } else {
            FUZZ_CHECK(loaded == 0, "a complete file is refused");
            pim::ReportOptions asFile;
            std::memcpy(&asFile, data, sizeof asFile);
            if (Sound(asFile))
                FUZZ_CHECK(std::memcmp(&asFile, &report.options, sizeof asFile) == 0, "a sound file did not load as is");
            FUZZ_CHECK(StandinEventCount() == 0, "a complete file gives a warning");
        }

        const pim::ReportOptions before = report.options;
        report.SaveOptions();
        const std::string saved = FuzzReadFile(kOptionsFile);
        FUZZ_CHECK(saved.size() == sizeof before && std::memcmp(saved.data(), &before, sizeof before) == 0,
                   "the saved file is not the choices");
        std::memset(&report.options, 0x5A, sizeof report.options);
        FUZZ_CHECK(report.LoadOptions() == 0, "the saved file does not load");
        FUZZ_CHECK(std::memcmp(&before, &report.options, sizeof before) == 0, "the saved choices come back changed");
    }
    FUZZ_CHECK(StandinLiveBlocks() == 0, "the options left heap blocks");
    FUZZ_CHECK(StandinOpenFileCount() == 0, "the options left a file open");
    std::remove(kOptionsFile);
    return 0;
}
