// Text services of the stand-in: bounded copy, trimming, code pages, and the
// rendering of host texts for a console.
#include <cstring>
#include <string>

#include "exports.h"
#include "mazovia.h"
#include "state.h"

namespace standin {
namespace {

// Windows-1250 bytes of the Polish letters; the rest of the upper half is not needed
// by anything the plug-in converts and becomes '?'.
int ToWindows1250(char32_t c) {
    switch (c) {
        case U'ą': return 0xB9; case U'Ą': return 0xA5; case U'ć': return 0xE6; case U'Ć': return 0xC6;
        case U'ę': return 0xEA; case U'Ę': return 0xCA; case U'ł': return 0xB3; case U'Ł': return 0xA3;
        case U'ń': return 0xF1; case U'Ń': return 0xD1; case U'ó': return 0xF3; case U'Ó': return 0xD3;
        case U'ś': return 0x9C; case U'Ś': return 0x8C; case U'ź': return 0x9F; case U'Ź': return 0x8F;
        case U'ż': return 0xBF; case U'Ż': return 0xAF;
        default: return c < 0x80 ? static_cast<int>(c) : '?';
    }
}

// The stand-in's character set for file names (code 0) is plain ASCII: Polish
// letters lose their diacritics, anything else outside ASCII becomes '_'. Such names
// are valid on every file system the stand-in runs on.
int ToFileNameAscii(char32_t c) {
    static const std::u32string from = U"ąćęłńóśźżĄĆĘŁŃÓŚŹŻ";
    static const char to[] = "acelnoszzACELNOSZZ";
    if (c < 0x80) return static_cast<int>(c);
    auto at = from.find(c);
    return at == std::u32string::npos ? '_' : to[at];
}

char32_t FromWindows1250(unsigned char b) {
    for (char32_t c : std::u32string(U"ąĄćĆęĘłŁńŃóÓśŚźŹżŻ"))
        if (ToWindows1250(c) == b) return c;
    return b < 0x80 ? char32_t(b) : U'?';
}

// The widest line the console rendering lays out: a tab stop beyond it is ignored.
constexpr int kWidestLine = 255;

}  // namespace

std::string Render(const std::string &hostText, bool emphasis) {
    std::string out;
    std::size_t pos = 0;
    while (pos <= hostText.size()) {
        std::size_t end = hostText.find('\n', pos);
        if (end == std::string::npos) end = hostText.size();
        std::string line = hostText.substr(pos, end - pos);
        // A directive between two 0x01 bytes at the start of a line sets its tab stops:
        // a letter, then a column, repeated ("tl18l33").
        std::vector<int> stops;
        if (line.size() > 1 && line[0] == '\x01') {
            std::size_t close = line.find('\x01', 1);
            if (close != std::string::npos) {
                std::string directive = line.substr(1, close - 1);
                for (std::size_t i = 0; i < directive.size();) {
                    if (directive[i] >= '0' && directive[i] <= '9') {
                        // A stop past the widest line drawn is ignored; the number stops
                        // growing there, so no column count overflows.
                        int column = 0;
                        for (; i < directive.size() && directive[i] >= '0' && directive[i] <= '9'; ++i)
                            if (column <= kWidestLine) column = column * 10 + (directive[i] - '0');
                        if (column <= kWidestLine) stops.push_back(column);
                    } else {
                        ++i;
                    }
                }
                line = line.substr(close + 1);
            }
        }
        int column = 0;
        for (unsigned char b : line) {
            if (b == 0x02 || b == 0x01) {  // emphasis on, off
                if (emphasis) out += b == 0x02 ? "\x1b[1m" : "\x1b[0m";
                continue;
            }
            if (b == 0x05) continue;  // the form's key-name mark
            if (b == '\t') {
                int next = (column / 8 + 1) * 8;
                for (int stop : stops)
                    if (stop > column) {
                        next = stop;
                        break;
                    }
                out.append(static_cast<std::size_t>(next - column), ' ');
                column = next;
                continue;
            }
            mazovia::appendUtf8(out, mazovia::toCodePoint(b));
            ++column;
        }
        if (end == hostText.size()) break;
        out += '\n';
        pos = end + 1;
    }
    return out;
}

}  // namespace standin

using namespace standin;

STANDIN_API uint32_t StandinRenderText(const char *text, char *out, uint32_t size) {
    if (size == 0) return 0;
    std::string rendered = Render(text, false);
    std::size_t n = rendered.size() < size - 1 ? rendered.size() : size - 1;
    // A short buffer ends before a whole character, not inside one.
    while (n > 0 && n < rendered.size() && (static_cast<unsigned char>(rendered[n]) & 0xC0) == 0x80) --n;
    std::memcpy(out, rendered.data(), n);
    out[n] = '\0';
    return static_cast<uint32_t>(n);
}

char *HOST_CONV_STDCALL VeldarCopyText(char *dst, const char *src, uint16_t maxChars) {
    Called(kOrd_VeldarCopyText, Address(dst), Text(src, maxChars), Number(maxChars));
    uint16_t i = 0;
    for (; i < maxChars && src[i] != '\0'; ++i) dst[i] = src[i];
    dst[i] = '\0';
    return dst;
}

char *HOST_CONV_STDCALL VeldarTrimText(char *text) {
    Called(kOrd_VeldarTrimText, Text(text));
    std::size_t length = std::strlen(text);
    std::size_t begin = 0;
    while (begin < length && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
    while (length > begin && (text[length - 1] == ' ' || text[length - 1] == '\t')) --length;
    std::memmove(text, text + begin, length - begin);
    text[length - begin] = '\0';
    return text;
}

char *HOST_CONV_STDCALL VeldarConvertCodePage(char *dst, const char *src, int32_t fromCode, int32_t toCode) {
    Called(kOrd_VeldarConvertCodePage, Address(dst), Text(src), Number(fromCode), Number(toCode));
    std::string in(src);
    std::string out;
    for (unsigned char b : in) {
        char32_t c = fromCode == kCodePageMazovia ? mazovia::toCodePoint(b)
                     : fromCode == kCodePageWindows1250 ? FromWindows1250(b)
                                                        : char32_t(b);
        int converted = toCode == kCodePageWindows1250 ? ToWindows1250(c)
                        : toCode == kCodePageFileNames ? ToFileNameAscii(c)
                        : toCode == kCodePageMazovia   ? mazovia::fromCodePoint(c)
                                                       : static_cast<int>(b);
        out += static_cast<char>(converted < 0 ? '?' : converted);
    }
    std::memcpy(dst, out.c_str(), out.size() + 1);  // every conversion is byte for byte
    return dst;
}
