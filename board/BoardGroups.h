// Listings of one model side by side on the board: rows whose titles the
// market would compare (the same model and kind) form a group, and the one
// expected to close lowest is marked.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct GroupMark {
    int group = -1;        // 0, 1, ... in the order of each group's first row; -1: alone
    bool cheapest = false; // the group's lowest expected closing price
};

struct GroupInput {
    std::string title;                      // Shift_JIS
    std::optional<std::int64_t> expected;   // the closing price expected; none: ended or not read
};

std::vector<GroupMark> GroupRows(const std::vector<GroupInput>& rows);

// The two halves of GroupRows. Grouping reads and compares every pair of
// titles; the board does it only when its titles change, and marks the
// cheapest after every read.
std::vector<int> GroupTitles(const std::vector<std::string>& titles); // the group of each, -1 alone
std::vector<GroupMark> MarkCheapest(const std::vector<int>& group,
                                    const std::vector<std::optional<std::int64_t>>& expected);

// "A", "B", ... "Z", "AA", ...
std::string GroupLabel(int group);
