// Mazovia, the host's 8-bit character set: ASCII below 0x80, code page 437 above it,
// except for 18 Polish letters.
//
// Texts are written in the sources as readable UTF-8 with the suffix _mz, which turns
// them into Mazovia bytes at compile time: "Błąd"_mz. A character that Mazovia has
// not got is a compile error.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace mazovia {

// Unicode code point of every byte 0x80..0xFF.
inline constexpr char32_t kUpperHalf[128] = {
    // 0x80
    U'Ç', U'ü', U'é', U'â', U'ä', U'à', U'ą', U'ç', U'ê', U'ë', U'è', U'ï', U'î', U'ć', U'Ä', U'Ą',
    // 0x90
    U'Ę', U'ę', U'ł', U'ô', U'ö', U'Ć', U'û', U'ù', U'Ś', U'Ö', U'Ü', U'¢', U'Ł', U'¥', U'ś', U'ƒ',
    // 0xA0
    U'Ź', U'Ż', U'ó', U'Ó', U'ń', U'Ń', U'ź', U'ż', U'¿', U'⌐', U'¬', U'½', U'¼', U'¡', U'«', U'»',
    // 0xB0
    U'░', U'▒', U'▓', U'│', U'┤', U'╡', U'╢', U'╖', U'╕', U'╣', U'║', U'╗', U'╝', U'╜', U'╛', U'┐',
    // 0xC0
    U'└', U'┴', U'┬', U'├', U'─', U'┼', U'╞', U'╟', U'╚', U'╔', U'╩', U'╦', U'╠', U'═', U'╬', U'╧',
    // 0xD0
    U'╨', U'╤', U'╥', U'╙', U'╘', U'╒', U'╓', U'╫', U'╪', U'┘', U'┌', U'█', U'▄', U'▌', U'▐', U'▀',
    // 0xE0
    U'α', U'ß', U'Γ', U'π', U'Σ', U'σ', U'µ', U'τ', U'Φ', U'Θ', U'Ω', U'δ', U'∞', U'φ', U'ε', U'∩',
    // 0xF0
    U'≡', U'±', U'≥', U'≤', U'⌠', U'⌡', U'÷', U'≈', U'°', U'∙', U'·', U'√', U'ⁿ', U'²', U'■', U'\u00A0',
};

// The Mazovia byte of a code point, or -1 when there is none.
constexpr int fromCodePoint(char32_t c) {
    if (c < 0x80) return static_cast<int>(c);
    for (int i = 0; i < 128; ++i)
        if (kUpperHalf[i] == c) return 0x80 + i;
    return -1;
}

constexpr char32_t toCodePoint(unsigned char b) { return b < 0x80 ? char32_t(b) : kUpperHalf[b - 0x80]; }

// Decodes one UTF-8 sequence at s[i], advancing i. Malformed input gives U+FFFD.
constexpr char32_t decodeUtf8(std::string_view s, std::size_t &i) {
    unsigned char b = static_cast<unsigned char>(s[i++]);
    if (b < 0x80) return b;
    int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
    if (extra < 0) return U'\uFFFD';
    char32_t c = b & (0x3F >> extra);
    for (int k = 0; k < extra; ++k) {
        if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return U'\uFFFD';
        c = (c << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
    }
    return c;
}

inline void appendUtf8(std::string &out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Mazovia bytes to UTF-8 (for consoles and tests).
inline std::string toUtf8(std::string_view mazovia) {
    std::string out;
    for (unsigned char b : mazovia) appendUtf8(out, toCodePoint(b));
    return out;
}

// UTF-8 to Mazovia; a character Mazovia has not got becomes '?'.
inline std::string fromUtf8(std::string_view utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        int b = fromCodePoint(decodeUtf8(utf8, i));
        out += static_cast<char>(b < 0 ? '?' : b);
    }
    return out;
}

template <std::size_t N>
struct Literal {
    char bytes[N]{};
    consteval Literal(const char (&s)[N]) {
        for (std::size_t i = 0; i < N; ++i) bytes[i] = s[i];
    }
};

// Not constexpr: reaching it stops the compile-time encoding with an error (and
// works where exceptions are switched off).
inline void CharacterWithoutAMazoviaByte() {}

template <Literal L>
struct Encoded {
    static constexpr auto value = [] {
        std::array<char, sizeof(L.bytes)> out{};
        std::string_view in(L.bytes, sizeof(L.bytes) - 1);
        std::size_t o = 0;
        for (std::size_t i = 0; i < in.size();) {
            int b = fromCodePoint(decodeUtf8(in, i));
            if (b < 0) CharacterWithoutAMazoviaByte();
            out[o++] = static_cast<char>(b);
        }
        return out;
    }();
};

}  // namespace mazovia

// "Zażółć"_mz: the Mazovia bytes of a UTF-8 literal, NUL-terminated, static storage.
template <mazovia::Literal L>
constexpr const char *operator""_mz() {
    return mazovia::Encoded<L>::value.data();
}
