// The one crossing between the program's texts and the device's bytes. Inside the
// program every text is UTF-8; the device's frames carry one Latin-1 byte a character.
// Frames are built and read through these two conversions and nowhere else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "utf8.h"

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
    for (std::size_t at = 0; at < text.size();) {
        const Utf8Char character = Utf8CharAt(text, at);
        if (character.length == 0) {
            bytes += '?';
            ++at;
            continue;
        }
        bytes += character.code <= 0xFF ? static_cast<char>(character.code) : '?';
        at += character.length;
    }
    return bytes;
}

}  // namespace varnix
