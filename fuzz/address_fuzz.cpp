// The address split over any address text: every part ends inside its 51-byte row
// field, is trimmed, comes from the text itself, and a postal code is one.
#include <cstring>
#include <memory>

#include "fuzz_plugin.h"
#include "report.h"

namespace {

constexpr std::size_t kField = 51;  // street, city and postal code fields of an outlet row

bool Blank(char c) { return c == ' ' || c == '\t'; }

void CheckPart(const char *part, std::size_t most, const std::string &address, const char *what) {
    FUZZ_CHECK(std::memchr(part, '\0', kField) != nullptr, std::string(what) + " runs past its field");
    const std::size_t n = std::strlen(part);
    FUZZ_CHECK(n <= most, std::string(what) + " is longer than it can be");
    if (n == 0) return;
    FUZZ_CHECK(!Blank(part[0]) && !Blank(part[n - 1]), std::string(what) + " is not trimmed");
    // The split reads the first 255 characters of the text.
    FUZZ_CHECK(address.substr(0, 255).find(part) != std::string::npos, std::string(what) + " is not from the text");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    FuzzBindPlugin();
    // The text up to its first NUL, in a block of its own size so any read past it shows.
    std::unique_ptr<char[]> address(new char[size + 1]);
    std::memcpy(address.get(), data, size);
    address[size] = '\0';
    std::unique_ptr<char[]> street(new char[kField]), code(new char[kField]), city(new char[kField]);
    std::memset(street.get(), 'S', kField);
    std::memset(code.get(), 'P', kField);
    std::memset(city.get(), 'C', kField);

    {
        pim::CRaportSprzPapierosow report;
        report.SplitAddress(address.get(), street.get(), code.get(), city.get());
    }
    const std::string text(address.get());
    CheckPart(street.get(), 50, text, "the street");
    CheckPart(city.get(), 50, text, "the city");
    CheckPart(code.get(), 6, text, "the postal code");
    const char *c = code.get();
    if (c[0] != '\0') {
        auto digit = [](char d) { return d >= '0' && d <= '9'; };
        FUZZ_CHECK(std::strlen(c) == 6 && digit(c[0]) && digit(c[1]) && c[2] == '-' && digit(c[3]) && digit(c[4]) &&
                       digit(c[5]),
                   std::string("the postal code is \"") + c + "\"");
    }
    FUZZ_CHECK(StandinLiveBlocks() == 0, "the split left heap blocks");
    return 0;
}
