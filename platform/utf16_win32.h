// Conversions between the UTF-8 paths the program passes around and the UTF-16 of the
// Windows wide-character calls, so file names outside the ANSI code page work; and the
// system's own words for an error code, in UTF-8.
#pragma once

#include <string>

namespace varnix {

std::wstring Utf16FromUtf8(const std::string& text);
std::string Utf8FromUtf16(const std::wstring& text);

// The system's message for a GetLastError code, without its final full stop.
std::string SystemErrorText(unsigned long code);

}  // namespace varnix
