// The one crossing between the program's texts and the device's bytes. Inside the
// program every text is UTF-8; the device's frames carry one Latin-1 byte a character.
// Frames are built and read through these two conversions and nowhere else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace varnix {

// Latin-1 bytes as UTF-8 text: bytes below 0x80 stay as they are, every other byte
// becomes its two-byte sequence. Every byte string is valid Latin-1, so nothing is lost.
inline std::string Latin1ToUtf8(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xC0 | (byte >> 6));
            text += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return text;
}

// UTF-8 text as Latin-1 bytes, one a character. A character without a Latin-1 byte
// becomes '?', as the Windows ANSI conversion makes it. A byte that is not part of a
// well-formed sequence (a stray byte, an overlong or cut-off sequence, a surrogate)
// becomes '?' too, one for each such byte, as Qt shows each of them as U+FFFD.
inline std::string Utf8ToLatin1(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        const auto lead = static_cast<unsigned char>(text[at]);
        if (lead < 0x80) {
            bytes += text[at];
            ++at;
            continue;
        }
        // The sequence's length and the range its second byte must lie in; the later
        // bytes lie in 0x80 to 0xBF. A lead byte outside these starts nothing.
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
        }
        std::uint32_t code = lead & (0x7Fu >> length);
        std::size_t used = 1;
        while (used < length && at + used < text.size()) {
            const auto next = static_cast<unsigned char>(text[at + used]);
            if (next < low || next > high) {
                break;
            }
            code = (code << 6) | (next & 0x3Fu);
            low = 0x80;
            high = 0xBF;
            ++used;
        }
        if (used < length || length == 0) {
            bytes += '?';
            ++at;
            continue;
        }
        bytes += code <= 0xFF ? static_cast<char>(code) : '?';
        at += used;
    }
    return bytes;
}

}  // namespace varnix
