// The phone slots as CSV text for spreadsheets, and the rule a paste into the phone table
// follows. Only the phone slots travel: the time-out, the flag and the password are
// neither written nor touched.
//
// Export: the header line `slot,number`, then `N,"TEXT"` for each filled slot in slot
// order, every text quoted with its quotes doubled. Lines end in CRLF, as RFC 4180 has it
// and as Excel writes; every spreadsheet reads LF too. UTF-8 with a byte-order mark:
// without it Excel reads a CSV file in the system's ANSI code page, and a text loaded from
// a settings file may hold letters outside ASCII. A spreadsheet runs a cell that starts
// with "=", "+", "-", "@", a tab or a carriage return as a formula; such a text is written
// with a single quote "'" before it (inside the quotes), so that it stays text. A number
// as typed ("+385..." included) is never changed: "+" is guarded only before a text that
// typing could not produce.
//
// Import: UTF-8, with or without the byte-order mark; "," or ";" as separator, told by the
// header `slot,number` or `slot;number` (any case, blanks around the fields allowed), which
// must be line 1; quoted fields with doubled quotes; LF, CRLF or CR line ends; blank lines
// and lines of empty fields are skipped. Each line holds a slot (1 to 500, each once) and a
// number as typing can produce it (IsTypeableNumber), or nothing, which leaves the slot
// empty. Every line is checked before anything changes; on success all 500 slots are
// replaced, the unlisted ones emptied. Import never undoes the export's "'" guard: a
// guarded text could not have been typed, so it is rejected with its line like any other
// such text, and an export of typeable texts imports back exactly.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "config_values.h"

namespace varnix {

// The text is one the phone table's keys can produce: digits and "+" only, at most
// kPhoneTextMax of them. The empty text (an empty slot) is one.
bool IsTypeableNumber(std::string_view text);

// CSV or pasted text that was refused whole: the line (1-based, the header is line 1)
// and why. what() reads "line N: reason".
class CsvRejected : public std::runtime_error {
  public:
    CsvRejected(int line, const std::string& reason);
    int Line() const { return line_; }
    const std::string& Reason() const { return reason_; }

  private:
    int line_;
    std::string reason_;
};

// A CSV file that could not be read or written. what() reads "PATH: reason".
class CsvFileError : public std::runtime_error {
  public:
    CsvFileError(const std::string& path, const std::string& reason)
        : std::runtime_error(path + ": " + reason), path_(path), reason_(reason) {}
    const std::string& Path() const { return path_; }
    const std::string& Reason() const { return reason_; }

  private:
    std::string path_;
    std::string reason_;
};

// The file's bytes for the phone slots of `values`.
std::string ExportPhoneCsv(const ConfigValues& values);

// Replaces all 500 slots of `values` by what `csv` lists; throws CsvRejected, with
// `values` untouched, when any line breaks the rules above.
void ImportPhoneCsv(std::string_view csv, ConfigValues& values);

// For each filled slot whose text ImportPhoneCsv would reject once exported, one sentence
// naming the slot, the text (control characters escaped) and the import's reason, in
// slot order. The export writes such texts all the same.
std::vector<std::string> UnimportableTexts(const ConfigValues& values);

// ImportPhoneCsv on the whole file; a name that leads to no regular file (a pipe, a
// device) is refused before it is opened. A file that cannot be read throws CsvFileError.
void LoadPhoneCsv(const std::string& path, ConfigValues& values);

// Writes ExportPhoneCsv into the file so that it is whole or as it was: an existing file
// is replaced in one step by a new one written and flushed beside it; a link is followed.
// Whatever SaveTargetFault finds is refused before anything is opened for writing. A
// failure throws CsvFileError.
void SavePhoneCsv(const std::string& path, const ConfigValues& values);

struct PastedPhone {
    int slot = 0;
    std::string text;
    friend bool operator==(const PastedPhone&, const PastedPhone&) = default;
};

// The slots a pasted text fills: its lines, one a slot from `firstSlot` (1 to 500) on
// downward. Lines end in LF, CRLF or CR, a final line end closes the last line; blanks
// around a line are dropped and an empty line empties its slot. A line that is no
// typeable number, or one that would go past slot 500, rejects the whole text
// (CsvRejected, lines counted from 1).
std::vector<PastedPhone> PastedPhones(std::string_view text, int firstSlot);

}  // namespace varnix
