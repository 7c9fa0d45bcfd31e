// The console rendering of host texts: the first byte is the caller's buffer size,
// the rest the text. The result is UTF-8, ends inside the buffer, is a prefix of the
// whole rendering, and a text cannot grow beyond what its lines can show.
#include <cstring>
#include <memory>

#include "fuzz_support.h"
#include "veldar.h"

namespace {

// Each byte gives at most one character (3 UTF-8 bytes); a tab at most the widest
// line the renderer draws.
constexpr std::size_t kWidestLine = 255;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    if (size == 0) return 0;
    const uint32_t bufferSize = data[0];
    const std::string text = std::string(reinterpret_cast<const char *>(data + 1), size - 1).c_str();

    std::size_t tabs = 0;
    for (char c : text) tabs += c == '\t';
    const std::size_t most = 3 * text.size() + tabs * kWidestLine;
    // Room for one byte more than it may take, to see it take more.
    std::unique_ptr<char[]> whole(new char[most + 2]);
    const uint32_t n = StandinRenderText(text.c_str(), whole.get(), static_cast<uint32_t>(most + 2));
    FUZZ_CHECK(n <= most && whole[n] == '\0', "the rendering grows beyond what its lines can show");
    const std::string all(whole.get(), n);
    FUZZ_CHECK(std::strlen(whole.get()) == n, "the rendering holds a NUL");
    FUZZ_CHECK(FuzzIsUtf8(all), "the rendering is not UTF-8");

    std::unique_ptr<char[]> out(new char[bufferSize + 1]);  // +1: never a zero-length block
    const uint32_t m = StandinRenderText(text.c_str(), out.get(), bufferSize);
    if (bufferSize == 0) {
        FUZZ_CHECK(m == 0, "nothing fits an empty buffer");
        return 0;
    }
    FUZZ_CHECK(m < bufferSize && out[m] == '\0', "the result does not end inside the caller's buffer");
    const std::string part(out.get(), m);
    FUZZ_CHECK(all.compare(0, m, part) == 0, "a short buffer gets other text");
    FUZZ_CHECK(FuzzIsUtf8(part), "a short buffer cuts a character");
    return 0;
}
