#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "veldar.h"

void FuzzFail(const char *file, int line, const std::string &why) {
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, why.c_str());
    std::fflush(stderr);
    std::abort();
}

std::string FuzzBytes::Take(std::size_t n) {
    if (n > size_ - at_) n = size_ - at_;
    std::string out(reinterpret_cast<const char *>(data_ + at_), n);
    at_ += n;
    return out;
}

std::string FuzzBytes::Until(uint8_t terminator, std::size_t n) {
    std::string out;
    while (at_ < size_ && out.size() < n) {
        uint8_t b = data_[at_++];
        if (b == terminator) break;
        out += static_cast<char>(b);
    }
    return out;
}

void FuzzResetHost() {
    StandinReset();
    StandinSetEcho(0);
}

std::string FuzzReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FuzzWriteFile(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

std::vector<std::string> FuzzLines(const std::string &text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool FuzzIsUtf8(const std::string &text) {
    const auto *p = reinterpret_cast<const unsigned char *>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        unsigned char b = p[i];
        int more = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
        if (more < 0 || i + more >= n) return false;
        char32_t c = more == 0 ? b : more == 1 ? b & 0x1F : more == 2 ? b & 0x0F : b & 0x07;
        for (int k = 1; k <= more; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
            c = c << 6 | (p[i + k] & 0x3F);
        }
        static const char32_t least[] = {0, 0x80, 0x800, 0x10000};
        if (c < least[more] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
        i += more + 1;
    }
    return true;
}
