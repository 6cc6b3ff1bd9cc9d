// Slot texts between the window's UTF-8 and the device's Latin-1 bytes.
#include "latin1.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace varnix {
namespace {

TEST(Latin1TextTest, EveryByteComesBackAndCharactersOutsideLatin1BecomeQuestionMarks) {
    std::string everyByte;
    for (int byte = 0; byte < 256; ++byte) {
        everyByte += static_cast<char>(byte);
    }
    EXPECT_EQ(Utf8ToLatin1(Latin1ToUtf8(everyByte)), everyByte);
    EXPECT_EQ(Latin1ToUtf8("+0123"), "+0123");
    EXPECT_EQ(Latin1ToUtf8("caf\xE9"), "caf\xC3\xA9");
    EXPECT_EQ(Latin1ToUtf8("\x80\xFF"), "\xC2\x80\xC3\xBF");

    for (const auto& [text, bytes] : std::vector<std::pair<std::string, std::string>>{
             {"", ""},
             {"+0123", "+0123"},
             {"caf\xC3\xA9", "caf\xE9"},
             {"\xC4\x80", "?"},             // U+0100, the first without a Latin-1 byte
             {"\xE2\x82\xAC+", "?+"},       // the euro sign
             {"\xF0\x9F\x98\x80+", "?+"},   // one character of four bytes
             {"caf\xE9", "caf?"},           // a Latin-1 byte is no UTF-8
             {"\xC3", "?"},                 // cut off at the end
             {"\xE2\x82+", "??+"},          // cut off before a character
             {"\xC0\xB0", "??"},            // '0' in an overlong form
             {"\xED\xA0\x80", "???"},       // a surrogate
             {"\xF4\x90\x80\x80", "????"},  // above U+10FFFF
             {"\xBF\xF8+", "??+"},          // no character starts with these
         }) {
        EXPECT_EQ(Utf8ToLatin1(text), bytes) << ::testing::PrintToString(text);
    }
}

}  // namespace
}  // namespace varnix
