// One character of UTF-8 text at a time, for the places that must tell well-formed text
// from bytes that only look like it (a file name or a file's text that was never UTF-8).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace varnix {

// The character at `at`: its code point and its length in bytes. The length is 0 where the
// bytes there start no well-formed sequence (a stray byte, an overlong or cut-off sequence,
// a surrogate, anything above U+10FFFF).
struct Utf8Char {
    std::size_t length = 0;
    std::uint32_t code = 0;
};

inline Utf8Char Utf8CharAt(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
        return {1, lead};
    }
    // The sequence's length and the range its second byte must lie in; the later bytes lie
    // in 0x80 to 0xBF. A lead byte outside these starts nothing.
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : low;    // no overlong forms
        high = lead == 0xED ? 0x9F : high;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : low;    // no overlong forms
        high = lead == 0xF4 ? 0x8F : high;  // nothing above U+10FFFF
    } else {
        return {};
    }
    std::uint32_t code = lead & (0x7Fu >> length);
    for (std::size_t used = 1; used < length; ++used) {
        if (at + used >= text.size()) {
            return {};
        }
        const auto next = static_cast<unsigned char>(text[at + used]);
        if (next < low || next > high) {
            return {};
        }
        code = (code << 6) | (next & 0x3Fu);
        low = 0x80;
        high = 0xBF;
    }
    return {length, code};
}

}  // namespace varnix
