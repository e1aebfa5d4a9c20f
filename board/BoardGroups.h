// Listings of one model side by side on the board: rows whose titles the
// market would compare (the same model and kind) form a group, and the one
// expected to close lowest is marked.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "history/Market.h"

struct GroupMark {
    int group = -1;        // 0, 1, ... in the order of each group's first row; -1: alone
    bool cheapest = false; // the group's lowest expected closing price
    bool operator==(const GroupMark&) const = default;
};

struct GroupInput {
    std::string title;                      // Shift_JIS
    std::optional<std::int64_t> expected;   // the closing price expected; none: ended or not read
};

std::vector<GroupMark> GroupRows(const std::vector<GroupInput>& rows);

// The two halves of GroupRows: the groups follow the titles alone, the
// cheapest follows every read.
std::vector<int> GroupTitles(const std::vector<std::string>& titles); // the group of each, -1 alone
std::vector<GroupMark> MarkCheapest(const std::vector<int>& group,
                                    const std::vector<std::optional<std::int64_t>>& expected);

// GroupTitles for a list whose titles change a few at a time, as the board's
// do while a sweep reads each page: a title is read and compared with the
// others once, when it joins the list, so a change costs one row's
// comparisons, not every pair's.
class TitleGrouper {
public:
    std::vector<int> Group(const std::vector<std::string>& titles);

private:
    struct Known {
        TitleFacts facts;
        bool self = false;     // two rows of this same title are one group
        std::vector<int> near; // the other titles comparable to it
        bool listed = true;
    };
    std::vector<Known> known_; // by slot; a title gone stays until the slots are laid out anew
    std::vector<int> parent_;  // the union of each slot with its near ones
    std::unordered_map<std::string, int> slot_; // the listed titles' slots
    int Root(int slot);
    void Forget(const std::unordered_set<std::string>& listed);
};

// "A", "B", ... "Z", "AA", ...
std::string GroupLabel(int group);
