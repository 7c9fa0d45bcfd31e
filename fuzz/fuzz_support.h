// Shared pieces of the fuzz targets: reading structured values out of the fuzzer's
// bytes, checks that stop the run with a reason, and the stand-in host set up afresh.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A broken invariant: the reason goes to standard error and the run aborts, which
// libFuzzer and the replay both report as a failure of this input.
[[noreturn]] void FuzzFail(const char *file, int line, const std::string &why);
#define FUZZ_CHECK(cond, why)                                     \
    do {                                                          \
        if (!(cond)) FuzzFail(__FILE__, __LINE__, std::string(#cond) + ": " + (why)); \
    } while (0)

// Values taken from the front of the input; past its end every value is zero.
class FuzzBytes {
public:
    FuzzBytes(const uint8_t *data, std::size_t size) : data_(data), size_(size) {}
    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    uint16_t Word() { return static_cast<uint16_t>(Byte() | Byte() << 8); }
    uint32_t Dword() { return Word() | static_cast<uint32_t>(Word()) << 16; }
    // Up to n bytes, fewer at the end of the input.
    std::string Take(std::size_t n);
    // Bytes up to a terminator byte (not included) or the end, at most n of them.
    std::string Until(uint8_t terminator, std::size_t n);
    std::string Rest() { return Take(size_ - at_); }
    std::size_t Left() const { return size_ - at_; }

private:
    const uint8_t *data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// The stand-in host back to its defaults, quiet, with the plug-in's code (when the
// target links it) bound to it.
void FuzzResetHost();

// Whole files in the current directory.
std::string FuzzReadFile(const std::string &path);
bool FuzzWriteFile(const std::string &path, const std::string &bytes);

// The text splits into lines at line feeds; a final line feed ends the last line.
std::vector<std::string> FuzzLines(const std::string &text);

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates).
bool FuzzIsUtf8(const std::string &text);
