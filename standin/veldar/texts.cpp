// Text services of the stand-in: bounded copy, trimming, code pages, the rendering
// of host texts for a console, and the checks of texts that become host texts.
#include <cstdio>
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
// letters lose their diacritics, anything else outside ASCII becomes '_' (or what
// StandinSetFileNameFallback chose; StandinSetControlGlyphs adds two glyphs). Such
// names are valid on every file system the stand-in runs on.
int ToFileNameAscii(char32_t c) {
    if (c >= 0x01 && c < 0x20 && state().controlGlyphs)
        return c == 0x14 ? 0xB6 : c == 0x15 ? 0xA7 : state().fileNameFallback;
    static const std::u32string from = U"ąćęłńóśźżĄĆĘŁŃÓŚŹŻ";
    static const char to[] = "acelnoszzACELNOSZZ";
    if (c < 0x80) return static_cast<int>(c);
    auto at = from.find(c);
    return at == std::u32string::npos ? state().fileNameFallback : to[at];
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

std::string DescribeCharacter(char32_t c, std::size_t column) {
    static const std::pair<char32_t, const char *> kNames[] = {
        {0x00, "NUL"},         {0x09, "tab"},         {0x0A, "line feed"}, {0x0B, "vertical tab"},
        {0x0C, "form feed"},   {0x0D, "carriage return"}, {0x1B, "escape"}, {0x20, "blank"},
        {0x7F, "DEL"},         {0xA0, "no-break space"},
    };
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
    std::string out = code;
    const char *name = nullptr;
    for (const auto &[k, n] : kNames)
        if (k == c) name = n;
    if (name != nullptr) {
        out += std::string(" (") + name + ")";
    } else if (c >= 0x20 && (c < 0x7F || c > 0x9F)) {
        out += " '";
        mazovia::appendUtf8(out, c);
        out += "'";
    }
    return out + " at column " + std::to_string(column);
}

std::string DecodeUtf8(const std::string &line, std::u32string &chars) {
    chars.clear();
    for (std::size_t i = 0; i < line.size();) {
        const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(line[k]); };
        const unsigned char b = byte(i);
        const std::size_t column = chars.size() + 1;
        auto bad = [&](const char *why) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%02X", b);
            return std::string("byte ") + hex + " at column " + std::to_string(column) + " is not UTF-8" + why;
        };
        int extra = 0;
        unsigned char low = 0x80, high = 0xBF;  // the allowed range of the second byte
        if (b < 0x80) {
            extra = 0;
        } else if (b < 0xC0) {
            return bad(" (a continuation byte without a lead)");
        } else if (b < 0xC2) {
            return bad(" (it begins an overlong form)");
        } else if (b < 0xE0) {
            extra = 1;
        } else if (b < 0xF0) {
            extra = 2;
            if (b == 0xE0) low = 0xA0;   // overlong below
            if (b == 0xED) high = 0x9F;  // surrogates above
        } else if (b < 0xF5) {
            extra = 3;
            if (b == 0xF0) low = 0x90;   // overlong below
            if (b == 0xF4) high = 0x8F;  // beyond U+10FFFF above
        } else {
            return bad("");
        }
        char32_t c = extra == 0 ? b : b & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            if (i + k >= line.size() || (byte(i + k) & 0xC0) != 0x80) return bad(" (its character is cut short)");
            if (k == 1 && (byte(i + 1) < low || byte(i + 1) > high))
                return bad(b == 0xED ? " (it begins a surrogate)"
                                     : b == 0xF4 ? " (it begins a character beyond U+10FFFF)"
                                                 : " (it begins an overlong form)");
            c = (c << 6) | (byte(i + k) & 0x3F);
        }
        chars.push_back(c);
        i += 1 + static_cast<std::size_t>(extra);
    }
    return std::string();
}

bool FitsHostText(char32_t c) {
    const int b = mazovia::fromCodePoint(c);
    return b >= 0x20 && b != 0x7F;
}

std::string UnfitForHostText(char32_t c, const std::string &described) {
    if (mazovia::fromCodePoint(c) < 0) return "holds " + described + ", which Mazovia has not got";
    return "holds a control character, " + described;
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

STANDIN_API void StandinSetFileNameFallback(char c) { state().fileNameFallback = c; }
STANDIN_API void StandinSetControlGlyphs(int32_t on) { state().controlGlyphs = on != 0; }

STANDIN_API const char *StandinHostTextError(const char *utf8, const char *what) {
    static std::string error;
    std::u32string chars;
    if (std::string e = DecodeUtf8(utf8, chars); !e.empty()) return (error = std::string(what) + ": " + e).c_str();
    for (std::size_t k = 0; k < chars.size(); ++k)
        if (!FitsHostText(chars[k]))
            return (error = std::string(what) + " " + UnfitForHostText(chars[k], DescribeCharacter(chars[k], k + 1))).c_str();
    return nullptr;
}
