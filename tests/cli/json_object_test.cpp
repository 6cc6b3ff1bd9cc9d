// What --json prints is JSON a script can read, whatever a name or a text holds.
#include "json_object.h"

#include <gtest/gtest.h>

namespace varnix {
namespace {

TEST(JsonObjectTest, TextsAreEscapedAndBytesThatAreNoUtf8BecomeReplacementCharacters) {
    EXPECT_EQ(JsonString("a\"b\\c\n\r\t\x01\x1f"), "\"a\\\"b\\\\c\\n\\r\\t\\u0001\\u001f\"");
    EXPECT_EQ(JsonString("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"),
              "\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\"");
    // A Latin-1 file name, an overlong '/', a surrogate, a cut-off sequence at the end.
    EXPECT_EQ(JsonString("caf\xE9.csv"), "\"caf\\ufffd.csv\"");
    EXPECT_EQ(JsonString("\xC0\xAF"), "\"\\ufffd\\ufffd\"");
    EXPECT_EQ(JsonString("\xED\xA0\x80"), "\"\\ufffd\\ufffd\\ufffd\"");
    EXPECT_EQ(JsonString("x\xE2\x82"), "\"x\\ufffd\\ufffd\"");

    EXPECT_EQ(JsonObject()
                  .Text("file", "a.csv")
                  .Number("numbers", -1)
                  .Flag("writable", true)
                  .Null("fault")
                  .Raw("slots", JsonArray({"1", "\"two\""}))
                  .Json(),
              "{\"file\":\"a.csv\",\"numbers\":-1,\"writable\":true,\"fault\":null,"
              "\"slots\":[1,\"two\"]}");
}

}  // namespace
}  // namespace varnix
