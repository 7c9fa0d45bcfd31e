// The data-set loader over any text, from memory and from a file: an error names
// the file and line and changes nothing; a loaded text loads again the same; the
// two ways of loading agree.
#include <cstdio>
#include <cstring>
#include <functional>

#include "fuzz_support.h"
#include "veldar.h"

namespace {

const char *const kBaseline =
    "year | 2024\n"
    "group | 1 | Papierosy\n"
    "group | 7 | Prasa\n"
    "goods | 1 | 1 | 1 | PAP-1 | szt. | 5 | Papierosy\n"
    "customer | 101 | Kiosk | 111-222-33-44 | ul. Krótka 1 20-001 Lublin\n"
    "invoice | 1 | 03.03.2024 | 101\n"
    "line | 1 | 1 | 2\n";

// What the host knows of the goods groups, as one text.
std::string Groups() {
    std::string out;
    int16_t number = 0;
    for (int32_t i = 0; const char *name = StandinGoodsGroup(i, &number); ++i)
        out += std::to_string(number) + "=" + name + "\n";
    return out;
}

// Strict UTF-8: no overlong form, surrogate, or code point past U+10FFFF.
bool IsUtf8(const std::string &s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        const std::size_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
        if (n == 0 || i + n > s.size()) return false;
        uint32_t cp = n == 1 ? b : b & (0x7F >> n);
        for (std::size_t k = 1; k < n; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80) return false;
            cp = cp << 6 | (c & 0x3F);
        }
        static const uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kLeast[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += n;
    }
    return true;
}

void CheckError(const char *error, const std::string &name) {
    const std::string e(error);
    FUZZ_CHECK(IsUtf8(e), "the error \"" + e + "\" is not UTF-8");
    FUZZ_CHECK(e.compare(0, name.size() + 1, name + ":") == 0, "the error \"" + e + "\" does not name the file");
    // "NAME:LINE: message", or "NAME:LINE:COLUMN: message".
    std::size_t at = name.size() + 1;
    std::size_t digits = e.find_first_not_of("0123456789", at);
    FUZZ_CHECK(digits != std::string::npos && digits > at, "the error \"" + e + "\" does not name the line");
    if (e[digits] == ':' && digits + 1 < e.size() && e[digits + 1] >= '0' && e[digits + 1] <= '9')
        digits = e.find_first_not_of("0123456789", digits + 1);
    FUZZ_CHECK(digits != std::string::npos && e.compare(digits, 2, ": ") == 0 && e.size() > digits + 2,
               "the error \"" + e + "\" has no message after its place");
}

// One load from the baseline; the result's text ("" when loaded).
std::string LoadAndCheck(const std::string &name, const std::function<const char *()> &load) {
    FUZZ_CHECK(StandinLoadDatasetText(kBaseline, "baseline") == nullptr, "the baseline does not load");
    const std::string before = Groups();
    const char *error = load();
    if (error != nullptr) {
        CheckError(error, name);
        FUZZ_CHECK(Groups() == before, "a refused data set changed the host's goods groups");
        return error;
    }
    const std::string loaded = Groups();
    // What loads is text: no control character reaches a name (a line break only ends one).
    for (char c : loaded)
        FUZZ_CHECK(c == '\n' || (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F),
                   "a loaded goods group's name holds a control character: \"" + loaded + "\"");
    FUZZ_CHECK(load() == nullptr, "a data set loads once but not twice");
    FUZZ_CHECK(Groups() == loaded, "a data set loads differently the second time");
    return "";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    FuzzResetHost();
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    const std::string text = bytes.substr(0, bytes.find('\0'));
    const std::string fromText = LoadAndCheck("data", [&] { return StandinLoadDatasetText(text.c_str(), "data"); });

    const char *const file = "fuzz-dataset.txt";
    FUZZ_CHECK(FuzzWriteFile(file, bytes), "cannot write the data set");
    const std::string fromFile = LoadAndCheck(file, [&] { return StandinLoadDataset(file); });
    std::remove(file);
    if (text.size() == bytes.size()) {
        // Without a NUL the file holds the same text: the same answer, for its own name.
        const std::string named = fromText.empty() ? "" : file + fromText.substr(4);
        FUZZ_CHECK(fromFile == named, "the file gives \"" + fromFile + "\", the text \"" + fromText + "\"");
    }
    return 0;
}
