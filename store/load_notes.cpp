#include "load_notes.h"

#include <cstddef>

namespace varnix {

namespace {

// How many a sentence lists before it only counts the rest.
constexpr std::size_t kListed = 5;

template <typename Number>
std::string Listed(const std::vector<Number>& numbers) {
    std::string text = "(";
    for (std::size_t i = 0; i < numbers.size() && i < kListed; ++i) {
        text += (i == 0 ? "" : ", ") + std::to_string(numbers[i]);
    }
    if (numbers.size() > kListed) {
        text += " and " + std::to_string(numbers.size() - kListed) + " more";
    }
    return text + ")";
}

}  // namespace

std::vector<std::string> DescribeLoadNotes(const LoadNotes& notes) {
    std::vector<std::string> sentences;
    if (const std::size_t count = notes.idsOutside.size(); count > 0) {
        sentences.push_back(
            count == 1
                ? "1 row of the phone table has an id outside 1 to 500 " +
                      Listed(notes.idsOutside) + ": it is kept in the file but not shown"
                : std::to_string(count) + " rows of the phone table have ids outside 1 to 500 " +
                      Listed(notes.idsOutside) + ": they are kept in the file but not shown");
    }
    if (notes.nullIds > 0) {
        sentences.push_back(notes.nullIds == 1
                                ? std::string("1 row of the phone table has no id: it is kept in "
                                              "the file but not shown")
                                : std::to_string(notes.nullIds) +
                                      " rows of the phone table have no id: they are kept in the "
                                      "file but not shown");
    }
    if (const std::size_t count = notes.repeatedSlots.size(); count > 0) {
        sentences.push_back(
            count == 1
                ? "1 slot has more than one row in the phone table " + Listed(notes.repeatedSlots) +
                      ": it shows the last of them, and a save keeps only that one"
                : std::to_string(count) + " slots have more than one row in the phone table " +
                      Listed(notes.repeatedSlots) +
                      ": each shows the last of them, and a save keeps only that "
                      "one");
    }
    if (notes.noRelaySettings) {
        sentences.push_back(
            "the file has no relay settings (no table pcong): the relay time-out and the "
            "external disconnection flag show as cleared");
    }
    return sentences;
}

}  // namespace varnix
