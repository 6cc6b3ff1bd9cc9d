// Saves fuzzed settings into the genuine Access samples, in memory as a save to a file
// builds them, and checks the result without taking the writer's word for it. The save
// must refuse exactly the values it cannot store: invalid UTF-8, a text longer than the
// column, a character an index on the column has no key for, a time-out that is no 32-bit
// integer. Anything else must pass the writer's own verify step, read back, table by
// table, as the values meant, keep the other columns of the rows it keeps, the phone rows
// without a slot's id and every other table as they were, and bear a second save onto the
// saved file. The input picks the sample, the slots and their texts, the time-out text and
// the flag of each save. Each file is read once: a save is compared with what was read of
// the file it was made onto.
//
// The samples are read once at start-up from the folder VARNIX_JET_SAMPLES names (as
// scripts/fuzz sets it), else ../shared/jet-samples beside the project; without them the
// target stops at once.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "device_values.h"
#include "jet/file.h"
#include "jet_settings.h"
#include "settings_file.h"

namespace {

using namespace varnix;
using Bytes = std::vector<std::uint8_t>;

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "fuzz_jet_writer: %s\n", what.c_str());
    std::abort();
}

struct Values : ConfigValues {
    std::string PhoneText(int slot) const override { return phones[At(slot)]; }
    void SetPhoneText(int slot, const std::string& text) override { phones[At(slot)] = text; }
    std::string TimeoutText() const override { return timeout; }
    void SetTimeoutText(const std::string& text) override { timeout = text; }
    bool ExternalDisconnect() const override { return flag; }
    void SetExternalDisconnect(bool on) override { flag = on; }
    std::string PasswordText() const override { return {}; }
    void SetPasswordText(const std::string&) override {}

    static std::size_t At(int slot) {
        if (slot < 1 || slot > kSlotCount) {
            Fail("a phone slot outside the table: " + std::to_string(slot));
        }
        return static_cast<std::size_t>(slot);
    }
    std::array<std::string, kSlotCount + 1> phones;
    std::string timeout = "0";
    bool flag = false;
};

bool SameName(std::string a, std::string b) {
    const auto lower = [](std::string& text) {
        for (char& c : text) {
            c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        }
    };
    lower(a);
    lower(b);
    return a == b;
}

bool IsSettingsTable(const std::string& name) {
    return SameName(name, "phone") || SameName(name, "pcong");
}

// What a file holds as our reader sees it: the settings as a load shows them, and every
// table's columns and rows. Each file is read once, then compared with the next save's.
struct Contents {
    Values settings;
    std::vector<std::string> names;
    std::map<std::string, JetTable> tables;
};

struct File {
    Bytes bytes;
    Contents contents;
};

// The tables of a file; its settings are left to the caller.
Contents ReadContents(const JetFile& jet) {
    Contents contents;
    contents.names = jet.TableNames();
    for (const std::string& name : contents.names) {
        contents.tables.emplace(name, jet.ReadTable(name));
    }
    return contents;
}

// A sample, and what its phone column lets a save store.
struct Sample {
    std::string name;
    File file;
    std::size_t textUnits = 0;  // UTF-16 units the column holds
    bool keyed = false;         // an index covers the column
    bool uniqueKey = false;     // a unique one
};

std::vector<Sample>& Samples() {
    static std::vector<Sample> samples;
    return samples;
}

// The settings samples with both tables. Their text rules are those of Jet 4; a Jet 3 file
// is left out.
void LoadSamples() {
    const char* named = std::getenv("VARNIX_JET_SAMPLES");
    const std::filesystem::path folder = named != nullptr && *named != '\0'
                                             ? std::filesystem::path(named)
                                             : VARNIX_SOURCE_DIR "/../shared/jet-samples";
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() == ".mdb" &&
            (name.rfind("write_", 0) == 0 || name.rfind("settings_", 0) == 0)) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());  // the same input picks the same sample
    for (const auto& file : files) {
        Sample sample{file.filename().string(), {Bytes(std::filesystem::file_size(file)), {}}};
        Bytes& bytes = sample.file.bytes;
        std::ifstream(file, std::ios::binary)
            .read(reinterpret_cast<char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        try {
            const JetFile jet(bytes);
            const auto names = jet.TableNames();
            if (!jet.IsJet4() || std::count_if(names.begin(), names.end(), IsSettingsTable) != 2) {
                continue;
            }
            const JetTableDef def = ReadJetTableDef(jet.Pages(), jet.TableDefinition("phone"));
            const auto column =
                std::find_if(def.columns.begin(), def.columns.end(),
                             [](const auto& c) { return SameName(c.name, "phone"); });
            if (column == def.columns.end() || column->type != kJetTypeText) {
                std::fprintf(stderr, "fuzz_jet_writer: %s left out, its phone column is no Text\n",
                             sample.name.c_str());
                continue;
            }
            sample.textUnits = column->length / 2;
            for (const JetRealIndex& index : def.realIndexes) {
                for (const JetRealIndex::Part& part : index.parts) {
                    if (part.column == column->number) {
                        sample.keyed = true;
                        sample.uniqueKey = sample.uniqueKey || index.Unique();
                    }
                }
            }
            sample.file.contents = ReadContents(jet);
            LoadJetSettings(jet, sample.file.contents.settings);
        } catch (const std::exception& failure) {
            std::fprintf(stderr, "fuzz_jet_writer: the sample %s does not open: %s\n", file.c_str(),
                         failure.what());
            std::exit(1);
        }
        Samples().push_back(std::move(sample));
    }
    if (Samples().empty()) {
        std::fprintf(stderr,
                     "fuzz_jet_writer: no Access samples with the tables phone and pcong in %s; "
                     "set VARNIX_JET_SAMPLES to their folder\n",
                     folder.c_str());
        std::exit(1);
    }
    std::fprintf(stderr, "fuzz_jet_writer: %zu samples from %s\n", Samples().size(),
                 folder.c_str());
}

void AppendUtf8(std::string& text, char32_t code) {
    if (code < 0x80) {
        text += static_cast<char>(code);
        return;
    }
    const int length = code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
    static constexpr unsigned char kLead[] = {0, 0, 0xc0, 0xe0, 0xf0};
    text += static_cast<char>(kLead[length] | (code >> (6 * (length - 1))));
    for (int i = length - 2; i >= 0; --i) {
        text += static_cast<char>(0x80 | ((code >> (6 * i)) & 0x3f));
    }
}

// The UTF-16 units of `text`; nullopt when it is no valid UTF-8 (a cut or overlong
// sequence, a surrogate, a code point beyond U+10FFFF).
std::optional<std::size_t> Utf16Units(const std::string& text) {
    static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    std::size_t units = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80                   ? 1
                                   : lead >= 0xc2 && lead < 0xe0 ? 2
                                   : lead >= 0xe0 && lead < 0xf0 ? 3
                                   : lead >= 0xf0 && lead < 0xf5 ? 4
                                                                 : 0;
        if (length == 0 || i + length > text.size()) {
            return std::nullopt;
        }
        char32_t code = length == 1 ? lead : lead & (0x7f >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xc0) != 0x80) {
                return std::nullopt;
            }
            code = (code << 6) | (next & 0x3f);
        }
        if (code < kLeast[length] || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) {
            return std::nullopt;
        }
        units += code > 0xffff ? 2 : 1;
        i += length;
    }
    return units;
}

// Why `values` cannot go into the sample's phone column; empty when they can.
std::string Unstorable(const Sample& sample, const Values& values) {
    std::map<std::string, int> keys;  // a unique index's keys: case and trailing spaces aside
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        const std::string& text = values.phones[static_cast<std::size_t>(slot)];
        if (text.empty()) {
            continue;
        }
        const std::string what = "the text of slot " + std::to_string(slot);
        const auto units = Utf16Units(text);
        if (!units) {
            return what + " is no valid UTF-8";
        }
        if (*units > sample.textUnits) {
            return what + " is longer than the column";
        }
        if (sample.keyed &&
            std::any_of(text.begin(), text.end(), [](char c) { return c < 0x20 || c > 0x7e; })) {
            return what + " has a character outside printable ASCII in an indexed column";
        }
        if (sample.uniqueKey) {
            std::string key = text.substr(0, text.find_last_not_of(' ') + 1);
            for (char& c : key) {
                c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
            }
            if (!keys.emplace(key, slot).second) {
                return what + " has the unique key of slot " + std::to_string(keys[key]);
            }
        }
    }
    return {};
}

// A character of one of four alphabets: digits and "+", printable ASCII, printable Latin-1,
// and beyond Latin-1 (including U+xx00 characters, which Jet 4 cannot compress, and
// characters outside the Basic Multilingual Plane).
char32_t Character(FuzzedDataProvider& input, int alphabet) {
    static constexpr char32_t kBeyond[][2] = {
        {0x0100, 0x017f}, {0x0391, 0x03c9}, {0x0400, 0x045f},   {0x2000, 0x20ac},  {0x4e00, 0x4e20},
        {0xff00, 0xff5e}, {0xfffd, 0xfffd}, {0x10000, 0x10010}, {0x1f600, 0x1f64f}};
    switch (input.ConsumeIntegralInRange(0, alphabet)) {
        case 0:
            return static_cast<char32_t>("0123456789+"[input.ConsumeIntegralInRange(0, 10)]);
        case 1:
            return input.ConsumeIntegralInRange<char32_t>(0x20, 0x7e);
        case 2:
            return input.ConsumeIntegralInRange<char32_t>(0xa0, 0xff);
        default: {
            const auto& range =
                kBeyond[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kBeyond) - 1)];
            return input.ConsumeIntegralInRange<char32_t>(range[0], range[1]);
        }
    }
}

// Empty, or 1 to 255 characters of one alphabet; with `wrong`, now and then invalid UTF-8
// or longer than a Text(255) column.
std::string Text(FuzzedDataProvider& input, bool wrong) {
    enum Kind { kEmpty, kDigits, kAscii, kLatin1, kBeyond, kInvalid, kLong };
    static constexpr Kind kKinds[] = {kEmpty, kDigits, kDigits, kDigits,  kAscii,
                                      kAscii, kLatin1, kBeyond, kInvalid, kLong};
    const Kind kind =
        kKinds[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kKinds) - (wrong ? 1 : 3))];
    if (kind == kEmpty) {
        return {};
    }
    const int alphabet = kind <= kBeyond ? kind - kDigits : input.ConsumeIntegralInRange(0, 3);
    const std::size_t length = kind == kLong ? input.ConsumeIntegralInRange<std::size_t>(256, 300)
                                             : input.ConsumeIntegralInRange<std::size_t>(1, 255);
    std::string text;
    for (std::size_t i = 0; i < length; ++i) {
        AppendUtf8(text, Character(input, alphabet));
    }
    if (kind == kInvalid) {
        static const char* const kBad[] = {
            "\x80",         "\xbf",         "\xc3",         "\xc0\x80",         "\xc1\xbf",
            "\xe0\x80\x80", "\xed\xa0\x80", "\xed\xbf\xbf", "\xf4\x90\x80\x80", "\xf5\x80\x80\x80",
            "\xfe",         "\xff",         "\xf0\x9f\x98", "\xe2\x82"};
        const char* bad = kBad[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kBad) - 1)];
        text.insert(input.ConsumeIntegralInRange<std::size_t>(0, text.size()), bad);
    }
    return text;
}

// The time-out as a save must store it: blanks and control characters around it aside, an
// optional sign and decimal digits within 32 bits; nullopt for anything else.
std::optional<std::int32_t> TimeoutValue(std::string text) {
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (!text.empty() && blank(text.back())) {
        text.pop_back();
    }
    std::size_t i = 0;
    while (i < text.size() && blank(text[i])) {
        ++i;
    }
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        ++i;
    }
    if (i == text.size()) {
        return std::nullopt;
    }
    std::int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return std::nullopt;
        }
        magnitude = std::min<std::int64_t>(magnitude * 10 + (text[i] - '0'), std::int64_t{1} << 40);
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

struct Timeout {
    std::string text;
    std::optional<std::int32_t> value;
};

// A time-out text: a number within 32 bits, written with blanks, signs and leading zeros;
// with `wrong`, now and then one outside them, one with junk in it, or any bytes.
Timeout TimeoutText(FuzzedDataProvider& input, bool wrong) {
    enum Kind { kSmall, kAny, kBeyond, kJunk, kBytes };
    static constexpr Kind kKinds[] = {kSmall, kSmall, kSmall, kAny, kBeyond, kJunk, kBytes};
    const Kind kind =
        kKinds[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kKinds) - (wrong ? 1 : 4))];
    if (kind == kBytes) {
        std::string text = input.ConsumeRandomLengthString(16);
        return {text, TimeoutValue(text)};
    }
    std::int64_t number = kind == kAny ? input.ConsumeIntegral<std::int32_t>()
                                       : input.ConsumeIntegralInRange(0, 65535);
    if (kind == kBeyond) {
        number = (std::int64_t{1} << 31) + input.ConsumeIntegral<std::uint32_t>();
        number = input.ConsumeBool() ? -number - 1 : number;
    }
    const auto blanks = [&] {
        std::string text;
        for (int n = input.ConsumeIntegralInRange(-2, 2); n > 0; --n) {
            text += " \t\r\n"[input.ConsumeIntegralInRange(0, 3)];
        }
        return text;
    };
    std::string core = number < 0 ? "-" : input.ConsumeBool() ? "+" : "";
    core += std::string(input.ConsumeIntegralInRange<std::size_t>(0, 2), '0');
    core += std::to_string(number < 0 ? -number : number);
    std::optional<std::int32_t> value;
    if (kind == kSmall || kind == kAny) {
        value = static_cast<std::int32_t>(number);
    }
    if (kind == kJunk) {
        switch (input.ConsumeIntegralInRange(0, 3)) {
            case 0: {  // a character no number holds
                static const char* const kNever[] = {"x", "e", ".", ",", "_", "\xc2\xb5"};
                core.insert(
                    input.ConsumeIntegralInRange<std::size_t>(0, core.size()),
                    kNever[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kNever) - 1)]);
                break;
            }
            case 1:  // a sign after the first character
                core.insert(input.ConsumeIntegralInRange<std::size_t>(1, core.size()), 1,
                            input.ConsumeBool() ? '+' : '-');
                break;
            case 2:  // a blank inside
                if (core.size() < 2) {
                    core += " 1";
                } else {
                    core.insert(input.ConsumeIntegralInRange<std::size_t>(1, core.size() - 1), 1,
                                ' ');
                }
                break;
            default:  // no digits
                core = core[0] == '+' || core[0] == '-' ? core.substr(0, 1) : "";
                break;
        }
    }
    const std::string text = blanks() + core + blanks();
    if (TimeoutValue(text) != value) {
        Fail("the target's own reading of the time-out \"" + text + "\" disagrees with its making");
    }
    return {text, value};
}

// The values a save starts from: those in the file, none, or every slot filled.
Values Start(FuzzedDataProvider& input, const Contents& file) {
    Values values;
    switch (input.ConsumeIntegralInRange(0, 3)) {
        case 0:
            values = file.settings;
            break;
        case 1:
            break;
        case 2: {
            const int serial = input.ConsumeIntegral<std::uint8_t>();
            for (int slot = 1; slot <= kSlotCount; ++slot) {
                values.phones[static_cast<std::size_t>(slot)] =
                    "+3612345" + std::to_string(serial * 1000 + slot);
            }
            break;
        }
        default: {
            const std::size_t length = input.ConsumeIntegralInRange(1, 255);
            for (int slot = 1; slot <= kSlotCount; ++slot) {
                values.phones[static_cast<std::size_t>(slot)] =
                    std::string(length, static_cast<char>('A' + slot % 26));
            }
            break;
        }
    }
    return values;
}

bool SameColumns(const std::vector<JetColumn>& a, const std::vector<JetColumn>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
        return x.name == y.name && x.type == y.type && x.length == y.length && x.flags == y.flags;
    });
}

std::size_t ColumnNamed(const JetTable& table, const char* name) {
    for (std::size_t c = 0; c < table.columns.size(); ++c) {
        if (SameName(table.columns[c].name, name)) {
            return c;
        }
    }
    Fail(std::string("no column ") + name);
}

// What a new row holds in a column the save does not set: null, or the next AutoNumber.
bool NewValue(const JetColumn& column, const JetValue& value) {
    return column.AutoNumber() ? value.kind == JetValue::Kind::Integer
                               : value.kind == JetValue::Kind::Null;
}

const JetTable& TableNamed(const Contents& file, const std::string& name) {
    for (const auto& [stored, table] : file.tables) {
        if (SameName(stored, name)) {
            return table;
        }
    }
    Fail("no table " + name);
}

// The saved file, read by our reader as a user's program would see it.
void CheckSaved(const Contents& old, const Contents& now, const Values& values,
                std::int32_t timeout) {
    // phone: one row a filled slot, ascending, a kept slot keeping its other columns; then
    // the rows without a slot's id (null, or outside 1 to 500) as they were, in their order.
    const JetTable& phoneBefore = TableNamed(old, "phone");
    const JetTable& phone = TableNamed(now, "phone");
    if (!SameColumns(phone.columns, phoneBefore.columns)) {
        Fail("the columns of phone changed");
    }
    const std::size_t id = ColumnNamed(phone, "id");
    const std::size_t number = ColumnNamed(phone, "phone");
    std::map<std::int64_t, const std::vector<JetValue>*> kept;
    for (const auto& row : phoneBefore.rows) {
        if (row[id].kind == JetValue::Kind::Integer) {
            kept[row[id].integer] = &row;
        }
    }
    std::size_t next = 0;
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        if (values.phones[static_cast<std::size_t>(slot)].empty()) {
            continue;
        }
        if (next == phone.rows.size() || phone.rows[next][id] != JetValue::Int(slot)) {
            Fail("the phone rows are not one a filled slot in slot order, at slot " +
                 std::to_string(slot));
        }
        const JetValue& text = phone.rows[next][number];
        if (text != JetValue::Str(values.phones[static_cast<std::size_t>(slot)])) {
            Fail("slot " + std::to_string(slot) + " reads back as \"" + text.text + "\", not \"" +
                 values.phones[static_cast<std::size_t>(slot)] + "\"");
        }
        const auto keptRow = kept.find(slot);
        for (std::size_t c = 0; c < phone.columns.size(); ++c) {
            if (c != id && c != number &&
                (keptRow != kept.end() ? phone.rows[next][c] != (*keptRow->second)[c]
                                       : !NewValue(phone.columns[c], phone.rows[next][c]))) {
                Fail("the column " + phone.columns[c].name + " of slot " + std::to_string(slot) +
                     " changed");
            }
        }
        ++next;
    }
    // Then the rows no load shows, those without a slot's id, as they were.
    for (const auto& row : phoneBefore.rows) {
        if (row[id].kind == JetValue::Kind::Integer && row[id].integer >= 1 &&
            row[id].integer <= kSlotCount) {
            continue;
        }
        if (next == phone.rows.size() || phone.rows[next] != row) {
            Fail("a phone row without a slot's id was not kept as it was after the slots' rows");
        }
        ++next;
    }
    if (next != phone.rows.size()) {
        Fail("phone holds rows beyond the filled slots and the rows without a slot");
    }

    // pcong: the first row changed in time and rec only, the others as they were.
    const JetTable& pcongBefore = TableNamed(old, "pcong");
    const JetTable& pcong = TableNamed(now, "pcong");
    if (!SameColumns(pcong.columns, pcongBefore.columns) ||
        pcong.rows.size() != std::max<std::size_t>(1, pcongBefore.rows.size()) ||
        !std::equal(pcong.rows.begin() + 1, pcong.rows.end(),
                    pcongBefore.rows.begin() + (pcongBefore.rows.empty() ? 0 : 1),
                    pcongBefore.rows.end())) {
        Fail("pcong changed beyond its first row");
    }
    const std::size_t time = ColumnNamed(pcong, "time");
    const std::size_t rec = ColumnNamed(pcong, "rec");
    for (std::size_t c = 0; c < pcong.columns.size(); ++c) {
        if (c != time && c != rec &&
            (pcongBefore.rows.empty() ? !NewValue(pcong.columns[c], pcong.rows[0][c])
                                      : pcong.rows[0][c] != pcongBefore.rows[0][c])) {
            Fail("the column " + pcong.columns[c].name + " of the first pcong row changed");
        }
    }
    if (pcong.rows[0][rec] != JetValue::Int(values.flag ? 1 : 0) ||
        pcong.rows[0][time] != JetValue::Int(timeout)) {
        Fail("the time-out and flag read back other than " + std::to_string(timeout) + " and " +
             std::to_string(values.flag));
    }

    // Every other table as it was.
    if (now.names != old.names) {
        Fail("the file's tables changed");
    }
    for (const auto& [name, a] : old.tables) {
        const JetTable& b = now.tables.at(name);
        if (!IsSettingsTable(name) && (!SameColumns(a.columns, b.columns) || a.rows != b.rows)) {
            Fail("the table " + name + " changed");
        }
    }
}

// One save of `values` onto `before`: the file saved, or nullopt when the save was rightly
// refused. `timeout` is the time-out the save must store; nullopt when it must refuse it.
std::optional<File> SaveAndCheck(const Sample& sample, const char* which, const File& before,
                                 const Values& values, std::optional<std::int32_t> timeout) {
    const std::string where = sample.name + ", " + which + ": ";
    const std::string unstorable = Unstorable(sample, values);
    std::int32_t stored = 0;
    try {
        stored = SavedTimeout(values.timeout);
    } catch (const DatabaseError& error) {
        if (!timeout) {
            return std::nullopt;
        }
        Fail(where + "refused with \"" + error.what() + "\", though the time-out \"" +
             values.timeout + "\" is " + std::to_string(*timeout));
    }
    if (!timeout || stored != *timeout) {
        Fail(where + "the time-out \"" + values.timeout + "\" reads as " + std::to_string(stored) +
             (timeout ? ", not " + std::to_string(*timeout) : ", though it is no integer"));
    }
    File saved;
    try {
        saved.bytes = BuildJetSettingsSave(before.bytes, values, stored);
    } catch (const JetError& error) {
        if (error.kind() == JetError::Kind::Unsupported && !unstorable.empty()) {
            return std::nullopt;
        }
        Fail(where + "refused with \"" + error.what() + "\", though " +
             (unstorable.empty() ? "every text can be stored" : unstorable));
    }
    if (!unstorable.empty()) {
        Fail(where + "saved, though " + unstorable);
    }
    try {
        saved.contents = ReadContents(JetFile(saved.bytes));
        saved.contents.settings = values;  // what a load shows, as the save's verify made sure
        saved.contents.settings.timeout = std::to_string(*timeout);
        CheckSaved(before.contents, saved.contents, values, *timeout);
    } catch (const std::exception& error) {
        Fail(where + "the saved file does not read: " + error.what());
    }
    return saved;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    LoadSamples();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::vector<Sample>& samples = Samples();
    const Sample& sample =
        samples[input.ConsumeIntegralInRange<std::size_t>(0, samples.size() - 1)];
    const File* file = &sample.file;
    std::optional<File> saves[2];
    for (int round = 0; round < 2; ++round) {
        const char* which = round == 0 ? "the first save" : "the save onto the saved file";
        Values values = Start(input, file->contents);
        // One save in four may hold values that cannot be stored.
        const bool wrong = input.ConsumeIntegralInRange(0, 3) == 0;
        for (int edits = input.ConsumeIntegralInRange(0, 64); edits > 0; --edits) {
            const int slot = input.ConsumeIntegralInRange(1, kSlotCount);
            values.phones[static_cast<std::size_t>(slot)] = Text(input, wrong);
        }
        const Timeout timeout = TimeoutText(input, wrong);
        values.timeout = timeout.text;
        values.flag = input.ConsumeBool();
        saves[round] = SaveAndCheck(sample, which, *file, values, timeout.value);
        file = saves[round] ? &*saves[round] : file;
    }
    return 0;
}
