#include "text.h"

#include <algorithm>
#include <iterator>

#include "error.h"
#include "pages.h"
#include "utf8.h"

namespace varnix {

namespace {

constexpr std::size_t kMaxCompressedCharacters = 1024;

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xc0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3f));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xe0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (code & 0x3f));
    } else {
        out += static_cast<char>(0xf0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3f));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (code & 0x3f));
    }
}

// UTF-16 units, given one at a time, as UTF-8; a surrogate without its partner becomes
// U+FFFD.
class Utf16ToUtf8 {
  public:
    explicit Utf16ToUtf8(std::size_t capacity) { out_.reserve(capacity); }
    void Add(std::uint32_t unit) {
        if (high_ != 0) {
            const std::uint32_t high = high_;
            high_ = 0;
            if (unit >= 0xdc00 && unit < 0xe000) {
                AppendUtf8(out_, 0x10000 + ((high - 0xd800) << 10) + (unit - 0xdc00));
                return;
            }
            AppendUtf8(out_, 0xfffd);
        }
        if (unit >= 0xd800 && unit < 0xdc00) {
            high_ = unit;
        } else {
            AppendUtf8(out_, unit >= 0xdc00 && unit < 0xe000 ? 0xfffd : unit);
        }
    }
    std::string Finish() {
        if (high_ != 0) {
            AppendUtf8(out_, 0xfffd);
        }
        return std::move(out_);
    }

  private:
    std::string out_;
    std::uint32_t high_ = 0;  // a high surrogate waiting for its partner
};

// Calls `each` with the code points of UTF-8 text in order; false for malformed, overlong
// or surrogate sequences, where it stops.
template <typename Each>
bool ForEachCodePoint(const std::string& text, Each each) {
    for (std::size_t i = 0; i < text.size();) {
        const Utf8Char character = Utf8CharAt(text, i);
        if (character.length == 0) {
            return false;
        }
        each(character.code);
        i += character.length;
    }
    return true;
}

// The code points of UTF-8 text; nullopt for malformed, overlong or surrogate sequences.
std::optional<std::vector<std::uint32_t>> CodePoints(const std::string& text) {
    std::vector<std::uint32_t> out;
    out.reserve(text.size());
    if (!ForEachCodePoint(text, [&](std::uint32_t code) { out.push_back(code); })) {
        return std::nullopt;
    }
    return out;
}

constexpr std::uint16_t kCp1252High[32] = {
    0x20ac, 0x0081, 0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021, 0x02c6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008d, 0x017d, 0x008f, 0x0090, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022,
    0x2013, 0x2014, 0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0x009d, 0x017e, 0x0178};

}  // namespace

std::string Cp1252ToUtf8(const std::uint8_t* data, std::size_t size) {
    std::string out;
    out.reserve(size);
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t byte = data[i];
        AppendUtf8(out, byte >= 0x80 && byte < 0xa0 ? kCp1252High[byte - 0x80] : byte);
    }
    return out;
}

std::string Jet4TextToUtf8(const std::uint8_t* data, std::size_t size) {
    Utf16ToUtf8 text(size);
    if (size >= 2 && data[0] == 0xff && data[1] == 0xfe) {
        bool compressed = true;
        std::size_t i = 2;
        while (i < size) {
            if (data[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                text.Add(data[i++]);
            } else {
                if (i + 1 >= size) {
                    JetDamaged("a text value ends inside a character");
                }
                text.Add(JetU16(data + i));
                i += 2;
            }
        }
    } else {
        if (size % 2 != 0) {
            JetDamaged("a text value ends inside a character");
        }
        for (std::size_t i = 0; i < size; i += 2) {
            text.Add(JetU16(data + i));
        }
    }
    return text.Finish();
}

std::optional<std::vector<std::uint8_t>> Utf8ToJet4Text(const std::string& text, bool compress) {
    std::size_t count = 0;
    bool latin1 = true;  // every character from U+0001 to U+00FF
    if (!ForEachCodePoint(text, [&](std::uint32_t code) {
            ++count;
            latin1 = latin1 && code >= 1 && code <= 0xff;
        })) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> out;
    // The compressed form pays two bytes of header, so it only helps from three characters.
    if (compress && count > 2 && count <= kMaxCompressedCharacters && latin1) {
        out.reserve(count + 2);
        out.push_back(0xff);
        out.push_back(0xfe);
        ForEachCodePoint(
            text, [&](std::uint32_t code) { out.push_back(static_cast<std::uint8_t>(code)); });
        return out;
    }
    out.reserve(count * 2);
    const auto unit = [&](std::uint32_t value) {
        out.push_back(static_cast<std::uint8_t>(value));
        out.push_back(static_cast<std::uint8_t>(value >> 8));
    };
    ForEachCodePoint(text, [&](std::uint32_t code) {
        if (code >= 0x10000) {
            unit(0xd800 + ((code - 0x10000) >> 10));
            unit(0xdc00 + ((code - 0x10000) & 0x3ff));
        } else {
            unit(code);
        }
    });
    return out;
}

bool IsUtf8(const std::string& text) {
    return ForEachCodePoint(text, [](std::uint32_t) {});
}

std::optional<std::vector<std::uint8_t>> Utf8ToCp1252(const std::string& text) {
    const auto codes = CodePoints(text);
    if (!codes) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> out;
    out.reserve(codes->size());
    for (const std::uint32_t code : *codes) {
        if (code < 0x80 || (code >= 0xa0 && code <= 0xff)) {
            out.push_back(static_cast<std::uint8_t>(code));
            continue;
        }
        const auto* high = std::find(std::begin(kCp1252High), std::end(kCp1252High), code);
        if (high == std::end(kCp1252High)) {
            return std::nullopt;
        }
        out.push_back(static_cast<std::uint8_t>(0x80 + (high - std::begin(kCp1252High))));
    }
    return out;
}

}  // namespace varnix
