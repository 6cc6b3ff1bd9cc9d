#include "phone_csv.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

#include "device_values.h"
#include "file_checks.h"
#include "file_open.h"
#include "file_save.h"
#include "phone_text.h"

namespace varnix {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kLineEnd = "\r\n";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Why typing could not produce the text, or nothing.
std::optional<std::string> NumberFault(std::string_view text) {
    if (const auto fault = PhoneTextFault(text)) {
        return "the number " + *fault;
    }
    return std::nullopt;
}

// A spreadsheet would run the text as a formula.
bool RunsAsFormula(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    switch (text.front()) {
        case '=':
        case '@':
        case '-':
        case '\t':
        case '\r':
            return true;
        case '+':
            return !IsTypeableNumber(text);
        default:
            return false;
    }
}

// One line end at `at` (CRLF, LF or CR): its length, or 0.
std::size_t LineEndAt(std::string_view text, std::size_t at) {
    if (at >= text.size()) {
        return 0;
    }
    if (text[at] == '\r') {
        return at + 1 < text.size() && text[at + 1] == '\n' ? 2 : 1;
    }
    return text[at] == '\n' ? 1 : 0;
}

struct Record {
    int line = 0;  // where it starts
    std::vector<std::string> fields;
};

// Reads the text record by record: fields split at the separator outside quotes, blanks
// around them dropped, quoted ones with their quotes undoubled and line ends kept.
class RecordReader {
  public:
    RecordReader(std::string_view text, char separator) : text_(text), separator_(separator) {}

    std::optional<Record> Next() {
        if (at_ >= text_.size()) {
            return std::nullopt;
        }
        Record record{line_, {}};
        for (;;) {
            record.fields.push_back(Field(record.line));
            if (at_ < text_.size() && text_[at_] == separator_) {
                ++at_;
                continue;
            }
            const std::size_t end = LineEndAt(text_, at_);
            at_ += end;
            line_ += end > 0 ? 1 : 0;
            return record;
        }
    }

  private:
    std::string Field(int line) {
        while (at_ < text_.size() && IsBlank(text_[at_])) {
            ++at_;
        }
        if (at_ < text_.size() && text_[at_] == '"') {
            return QuotedField(line);
        }
        const std::size_t start = at_;
        while (at_ < text_.size() && text_[at_] != separator_ && LineEndAt(text_, at_) == 0) {
            ++at_;
        }
        return std::string(Trimmed(text_.substr(start, at_ - start)));
    }

    std::string QuotedField(int line) {
        std::string value;
        for (++at_;;) {
            if (at_ >= text_.size()) {
                throw CsvRejected(line, "a quoted field has no closing quote");
            }
            if (text_[at_] == '"') {
                if (at_ + 1 < text_.size() && text_[at_ + 1] == '"') {
                    value += '"';
                    at_ += 2;
                    continue;
                }
                ++at_;
                break;
            }
            if (const std::size_t end = LineEndAt(text_, at_); end > 0) {
                value.append(text_.substr(at_, end));
                at_ += end;
                ++line_;
                continue;
            }
            value += text_[at_++];
        }
        while (at_ < text_.size() && IsBlank(text_[at_])) {
            ++at_;
        }
        if (at_ < text_.size() && text_[at_] != separator_ && LineEndAt(text_, at_) == 0) {
            throw CsvRejected(line, "text follows the closing quote of a field");
        }
        return value;
    }

    std::string_view text_;
    char separator_;
    std::size_t at_ = 0;
    int line_ = 1;
};

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

// The reader placed after the header, with the separator the header uses.
RecordReader AfterHeader(std::string_view csv) {
    for (const char separator : {',', ';'}) {
        RecordReader reader(csv, separator);
        try {
            const auto header = reader.Next();
            if (header && header->fields.size() == 2 && Lower(header->fields[0]) == "slot" &&
                Lower(header->fields[1]) == "number") {
                return reader;
            }
        } catch (const CsvRejected&) {
            // not this separator's header
        }
    }
    throw CsvRejected(1, "the first line must be the header slot,number (or slot;number)");
}

// The slot a field names, or why it names none.
int SlotOf(const std::string& field, int line) {
    std::string_view digits = field;
    const bool negative = !digits.empty() && digits.front() == '-';
    if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
        digits.remove_prefix(1);
    }
    if (digits.empty()) {
        throw CsvRejected(line,
                          field.empty() ? "the slot is missing" : "the slot is not a whole number");
    }
    long long value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            throw CsvRejected(line, "the slot is not a whole number");
        }
        value = std::min<long long>(value * 10 + (c - '0'), kSlotCount + 1);
    }
    if (negative || value < 1 || value > kSlotCount) {
        throw CsvRejected(line, "slot " + field + " is outside 1 to " + std::to_string(kSlotCount));
    }
    return static_cast<int>(value);
}

// The text as one line shows it: control characters as C escapes.
std::string Shown(std::string_view text) {
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') {
            shown += "\\n";
        } else if (c == '\r') {
            shown += "\\r";
        } else if (c == '\t') {
            shown += "\\t";
        } else if (byte < 0x20 || byte == 0x7f) {
            constexpr char kHex[] = "0123456789abcdef";
            shown += "\\x";
            shown += kHex[byte >> 4];
            shown += kHex[byte & 0xf];
        } else {
            shown += c;
        }
    }
    return shown;
}

}  // namespace

bool IsTypeableNumber(std::string_view text) {
    return !NumberFault(text);
}

CsvRejected::CsvRejected(int line, const std::string& reason)
    : std::runtime_error("line " + std::to_string(line) + ": " + reason),
      line_(line),
      reason_(reason) {}

std::string ExportPhoneCsv(const ConfigValues& values) {
    std::string out(kByteOrderMark);
    out += "slot,number";
    out += kLineEnd;
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        const std::string text = values.PhoneText(slot);
        if (text.empty()) {
            continue;
        }
        out += std::to_string(slot) + ",\"";
        if (RunsAsFormula(text)) {
            out += '\'';
        }
        for (const char c : text) {
            out += c;
            if (c == '"') {
                out += '"';
            }
        }
        out += '"';
        out += kLineEnd;
    }
    return out;
}

void ImportPhoneCsv(std::string_view csv, ConfigValues& values) {
    if (csv.starts_with(kByteOrderMark)) {
        csv.remove_prefix(kByteOrderMark.size());
    }
    RecordReader reader = AfterHeader(csv);
    std::array<std::string, kSlotCount> phones{};
    std::array<int, kSlotCount> listedOn{};  // the line that gave each slot, 0 for none
    while (const auto record = reader.Next()) {
        bool blank = true;
        for (const std::string& field : record->fields) {
            blank = blank && field.empty();
        }
        if (blank) {
            continue;
        }
        const int line = record->line;
        if (record->fields.size() != 2) {
            throw CsvRejected(line, std::to_string(record->fields.size()) +
                                        " fields where 2 belong (slot and number)");
        }
        const int slot = SlotOf(record->fields[0], line);
        const auto index = static_cast<std::size_t>(slot - 1);
        if (listedOn[index] != 0) {
            throw CsvRejected(line, "slot " + std::to_string(slot) + " is listed on line " +
                                        std::to_string(listedOn[index]) + " already");
        }
        if (const auto fault = NumberFault(record->fields[1])) {
            throw CsvRejected(line, *fault);
        }
        listedOn[index] = line;
        phones[index] = record->fields[1];
    }
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        values.SetPhoneText(slot, phones[static_cast<std::size_t>(slot - 1)]);
    }
}

std::vector<std::string> UnimportableTexts(const ConfigValues& values) {
    std::vector<std::string> sentences;
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        // The import reads back the text itself: the export's quotes and "'" guard only
        // ever wrap a text that is rejected already.
        const std::string text = values.PhoneText(slot);
        if (const auto fault = NumberFault(text)) {
            sentences.push_back("slot " + std::to_string(slot) + " holds \"" + Shown(text) +
                                "\", which an import of this file will reject: " + *fault);
        }
    }
    return sentences;
}

void LoadPhoneCsv(const std::string& path, ConfigValues& values) {
    if (const std::string fault = SourceFault(path); !fault.empty()) {
        throw CsvFileError(path, fault);
    }
    std::vector<std::uint8_t> bytes;
    if (const std::string error = ReadWholeFile(path, bytes); !error.empty()) {
        throw CsvFileError(path, "the file cannot be read: " + error);
    }
    ImportPhoneCsv(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                   values);
}

void SavePhoneCsv(const std::string& path, const ConfigValues& values) {
    if (const std::string fault = SaveTargetFault(path); !fault.empty()) {
        throw CsvFileError(path, fault);
    }
    const std::string text = ExportPhoneCsv(values);
    const std::vector<std::uint8_t> bytes(text.begin(), text.end());
    // Through a link, the file itself is replaced, and the link stays.
    const std::string target = FinalPathOf(path);
    std::string error;
    if (!PathExists(target)) {
        error = WriteNewFileDurably(target, bytes, std::string());
    } else {
        const std::string copy = target + ".varnix-save";
        RemoveFile(copy);  // a copy left by a save that was cut off
        error = WriteNewFileDurably(copy, bytes, target);
        if (error.empty()) {
            error = ReplaceFileAtomically(copy, target);
        }
        if (!error.empty()) {
            RemoveFile(copy);
        }
    }
    if (!error.empty()) {
        throw CsvFileError(path, error);
    }
}

std::vector<PastedPhone> PastedPhones(std::string_view text, int firstSlot) {
    if (firstSlot < 1 || firstSlot > kSlotCount) {
        throw std::invalid_argument("PastedPhones: no slot " + std::to_string(firstSlot));
    }
    std::vector<PastedPhone> pasted;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = at;
        while (end < text.size() && LineEndAt(text, end) == 0) {
            ++end;
        }
        const int line = static_cast<int>(pasted.size()) + 1;
        const int slot = firstSlot + line - 1;
        if (slot > kSlotCount) {
            throw CsvRejected(line, "the line would go into slot " + std::to_string(slot) +
                                        ", past the last slot " + std::to_string(kSlotCount));
        }
        const std::string_view number = Trimmed(text.substr(at, end - at));
        if (const auto fault = NumberFault(number)) {
            throw CsvRejected(line, *fault);
        }
        pasted.push_back({slot, std::string(number)});
        at = end + LineEndAt(text, end);
    }
    return pasted;
}

}  // namespace varnix
