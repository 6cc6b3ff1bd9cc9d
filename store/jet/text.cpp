#include "text.h"

#include <algorithm>
#include <iterator>

#include "error.h"
#include "pages.h"
#include "utf8.h"

namespace varnix {

namespace {

constexpr std::size_t kMaxCompressedCharacters = 1024;

// Writes `code` as UTF-8 at `at` and returns the end: four bytes at most, three below
// U+10000.
char* PutUtf8(char* at, std::uint32_t code) {
    const auto put = [&at](std::uint32_t byte) { *at++ = static_cast<char>(byte); };
    if (code < 0x80) {
        put(code);
    } else if (code < 0x800) {
        put(0xc0 | (code >> 6));
        put(0x80 | (code & 0x3f));
    } else if (code < 0x10000) {
        put(0xe0 | (code >> 12));
        put(0x80 | ((code >> 6) & 0x3f));
        put(0x80 | (code & 0x3f));
    } else {
        put(0xf0 | (code >> 18));
        put(0x80 | ((code >> 12) & 0x3f));
        put(0x80 | ((code >> 6) & 0x3f));
        put(0x80 | (code & 0x3f));
    }
    return at;
}

// UTF-16 units, given one at a time, as UTF-8; a surrogate without its partner becomes
// U+FFFD. No unit takes more than three bytes (a pair, two units, takes four), so room for
// three a unit is written into directly.
class Utf16ToUtf8 {
  public:
    explicit Utf16ToUtf8(std::size_t mostUnits) : out_(3 * mostUnits, '\0'), end_(out_.data()) {}
    Utf16ToUtf8(const Utf16ToUtf8&) = delete;
    Utf16ToUtf8& operator=(const Utf16ToUtf8&) = delete;
    void Add(std::uint32_t unit) {
        if (unit < 0x80 && high_ == 0) {
            *end_++ = static_cast<char>(unit);
        } else {
            AddBeyondAscii(unit);
        }
    }
    std::string Finish() {
        if (high_ != 0) {
            end_ = PutUtf8(end_, 0xfffd);
        }
        out_.resize(static_cast<std::size_t>(end_ - out_.data()));
        return std::move(out_);
    }

  private:
    void AddBeyondAscii(std::uint32_t unit) {
        if (high_ != 0) {
            const std::uint32_t high = high_;
            high_ = 0;
            if (unit >= 0xdc00 && unit < 0xe000) {
                end_ = PutUtf8(end_, 0x10000 + ((high - 0xd800) << 10) + (unit - 0xdc00));
                return;
            }
            end_ = PutUtf8(end_, 0xfffd);
        }
        if (unit >= 0xd800 && unit < 0xdc00) {
            high_ = unit;
        } else {
            end_ = PutUtf8(end_, unit >= 0xdc00 && unit < 0xe000 ? 0xfffd : unit);
        }
    }

    std::string out_;
    char* end_;
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
    std::string out(3 * size, '\0');
    char* end = out.data();
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t byte = data[i];
        end = PutUtf8(end, byte >= 0x80 && byte < 0xa0 ? kCp1252High[byte - 0x80] : byte);
    }
    out.resize(static_cast<std::size_t>(end - out.data()));
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

std::optional<std::vector<std::uint8_t>> Utf8ToJet4Text(const std::string& text, bool compress,
                                                        std::size_t* units) {
    // UCS-2 first, two bytes on from the start, where the compressed form's header goes if
    // it is taken. A UTF-8 byte gives one UTF-16 unit at most.
    std::vector<std::uint8_t> out(2 + 2 * text.size());
    std::size_t count = 0;
    bool latin1 = true;  // every character from U+0001 to U+00FF
    const auto unit = [&](std::uint32_t value) {
        JetPutU16(out.data() + 2 + 2 * count++, static_cast<std::uint16_t>(value));
    };
    for (std::size_t i = 0; i < text.size();) {
        const Utf8Char character = Utf8CharAt(text, i);
        if (character.length == 0) {
            return std::nullopt;
        }
        i += character.length;
        latin1 = latin1 && character.code >= 1 && character.code <= 0xff;
        if (character.code >= 0x10000) {
            unit(0xd800 + ((character.code - 0x10000) >> 10));
            unit(0xdc00 + ((character.code - 0x10000) & 0x3ff));
        } else {
            unit(character.code);
        }
    }
    if (units != nullptr) {
        *units = count;
    }
    // The compressed form pays two bytes of header, so it only helps from three characters.
    if (compress && count > 2 && count <= kMaxCompressedCharacters && latin1) {
        out[0] = 0xff;
        out[1] = 0xfe;
        for (std::size_t c = 0; c < count; ++c) {
            out[2 + c] = out[2 + 2 * c];  // behind what is still to be read
        }
        out.resize(2 + count);
        return out;
    }
    out.erase(out.begin(), out.begin() + 2);
    out.resize(2 * count);
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
