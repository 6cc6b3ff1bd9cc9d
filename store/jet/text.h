// Text as a Jet file stores it, to and from the program's UTF-8: Jet 4 keeps UCS-2
// (optionally in its compressed form), Jet 3 one byte a character in the file's code page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varnix {

// Jet 4 text, plain or compressed; a text cut inside a character is damage.
std::string Jet4TextToUtf8(const std::uint8_t* data, std::size_t size);
// Jet 3 text in Windows code page 1252.
std::string Cp1252ToUtf8(const std::uint8_t* data, std::size_t size);

// UTF-8 as Jet 4 stores it: compressed when `compress` is set and the text allows it and
// gets shorter, else UCS-2. Characters beyond U+FFFF become surrogate pairs. Invalid UTF-8
// gives nullopt. `units`, where given, takes the text's length in UTF-16 units, the
// measure of a Text column's size.
std::optional<std::vector<std::uint8_t>> Utf8ToJet4Text(const std::string& text, bool compress,
                                                        std::size_t* units = nullptr);
// Well-formed UTF-8: no stray, overlong or cut-off sequence, no surrogate.
bool IsUtf8(const std::string& text);

// UTF-8 in code page 1252; nullopt when a character has no byte there or the UTF-8 is
// invalid.
std::optional<std::vector<std::uint8_t>> Utf8ToCp1252(const std::string& text);

}  // namespace varnix
