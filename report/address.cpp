// The address split: the host keeps a customer's address as one free text; the
// invoice file wants street and number, postal code and city apart. The text is cut
// at the last Polish postal code (dd-ddd) and the last street prefix, and the order
// of the two decides what the text around them means.
#include "host_imports.h"
#include "report.h"

namespace pim {
namespace {

constexpr uint16_t kWorkingChars = 255;
// Every part goes into a row field of 50 characters; an address of at most 50
// characters never yields more, the bound keeps a longer one from overflowing.
constexpr int32_t kPartChars = 50;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Two digits, a hyphen, three digits and then no digit. Each character is looked at
// only when all before it matched, so the terminator is never passed.
bool PostalCodeAt(const char *t) {
    return IsDigit(t[0]) && IsDigit(t[1]) && t[2] == '-' && IsDigit(t[3]) && IsDigit(t[4]) && IsDigit(t[5]) &&
           !IsDigit(t[6]);
}

// "ul.", "os.", "al." or "pl.", whatever the case of its letters, anywhere in the text.
bool StreetPrefixAt(const char *t) {
    static const char *const prefixes[] = {"ul.", "os.", "al.", "pl."};
    for (const char *prefix : prefixes) {
        int i = 0;
        while (i < 3 && AsciiLower(t[i]) == prefix[i]) ++i;
        if (i == 3) return true;
    }
    return false;
}

// At most count characters of the working copy from position at; stops at its end.
void CopyPart(char *part, const char *working, int32_t at, int32_t count) {
    host::VeldarCopyText(part, working + at, static_cast<uint16_t>(count < kPartChars ? count : kPartChars));
}

}  // namespace

void CRaportSprzPapierosow::SplitAddress(const char *address, char *street, char *postalCode, char *city) {
    city[0] = postalCode[0] = street[0] = '\0';
    char working[kWorkingChars + 1];
    host::VeldarCopyText(working, address, kWorkingChars);

    int32_t codeAt = -1, cityAt = -1, streetAt = -1;
    int32_t length = 0;
    for (; working[length] != '\0'; ++length) {
        if (PostalCodeAt(working + length)) {
            codeAt = length;
            cityAt = length + 7;
        }
        if (StreetPrefixAt(working + length)) streetAt = length;
    }
    if (cityAt > length) cityAt = -1;  // the code ends the text: no city after it

    const int32_t rest = kWorkingChars;  // "to the end": the copy stops at the terminator
    if (codeAt < cityAt && cityAt < streetAt) {
        CopyPart(postalCode, working, codeAt, 6);
        CopyPart(city, working, cityAt, streetAt - cityAt);
        CopyPart(street, working, streetAt, rest);
    } else if (streetAt < codeAt && codeAt < cityAt) {
        CopyPart(postalCode, working, codeAt, 6);
        CopyPart(city, working, cityAt, rest);
        if (streetAt != -1) CopyPart(street, working, streetAt, codeAt - streetAt);
    } else if (streetAt == -1 && codeAt == -1 && cityAt == -1) {
        CopyPart(city, working, 0, rest);
    }

    host::VeldarTrimText(city);
    host::VeldarTrimText(postalCode);
    host::VeldarTrimText(street);
}

}  // namespace pim
