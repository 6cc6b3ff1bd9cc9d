// What a load could not show, told once: a sentence for each kind of note, in the singular
// or the plural, listing the first few and counting the rest.
#include "load_notes.h"

#include <gtest/gtest.h>

namespace varnix {
namespace {

TEST(LoadNotesTest, EachKindIsOneSentenceListingTheFirstFive) {
    EXPECT_TRUE(DescribeLoadNotes({}).empty());
    EXPECT_EQ(DescribeLoadNotes({{0, 501, 777}, 1, {4, 9}, true}),
              (std::vector<std::string>{
                  "3 rows of the phone table have ids outside 1 to 500 (0, 501, 777): they are "
                  "kept in the file but not shown",
                  "1 row of the phone table has no id: it is kept in the file but not shown",
                  "2 slots have more than one row in the phone table (4, 9): each shows the last "
                  "of them, and a save keeps only that one",
                  "the file has no relay settings (no table pcong): the relay time-out and the "
                  "external disconnection flag show as cleared"}));
    LoadNotes many;
    many.idsOutside = {-1, 600, 700, 800, 900, 1000, 1100};
    EXPECT_EQ(DescribeLoadNotes(many),
              std::vector<std::string>{"7 rows of the phone table have ids outside 1 to 500 (-1, "
                                       "600, 700, 800, 900 and 2 more): they are kept in the "
                                       "file but not shown"});
    EXPECT_EQ(DescribeLoadNotes({{0}, 2, {7}, false}),
              (std::vector<std::string>{
                  "1 row of the phone table has an id outside 1 to 500 (0): it is kept in the "
                  "file but not shown",
                  "2 rows of the phone table have no id: they are kept in the file but not shown",
                  "1 slot has more than one row in the phone table (7): it shows the last of "
                  "them, and a save keeps only that one"}));
}

}  // namespace
}  // namespace varnix
