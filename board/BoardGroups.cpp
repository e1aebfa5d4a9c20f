#include "board/BoardGroups.h"

#include <algorithm>
#include <numeric>

#include "history/Market.h"

std::vector<int> GroupTitles(const std::vector<std::string>& titles)
{
    const std::size_t n = titles.size();
    std::vector<TitleFacts> facts;
    facts.reserve(n);
    for (const std::string& title : titles)
        facts.push_back(ReadTitle(title));
    // Comparable is not transitive; a chain of comparable titles is one group,
    // as the user sees one model listed several times.
    std::vector<std::size_t> parent(n);
    std::iota(parent.begin(), parent.end(), 0);
    auto root = [&parent](std::size_t i) {
        while (parent[i] != i)
            i = parent[i] = parent[parent[i]];
        return i;
    };
    for (std::size_t i = 0; i < n; ++i) {
        if (facts[i].key.empty())
            continue;
        for (std::size_t j = i + 1; j < n; ++j) {
            if (!facts[j].key.empty() && root(i) != root(j) && TitleSimilarity(facts[i], facts[j]) >= kSimilarityThreshold)
                parent[root(j)] = root(i);
        }
    }
    std::vector<std::size_t> size(n, 0);
    for (std::size_t i = 0; i < n; ++i)
        ++size[root(i)];

    std::vector<int> group(n, -1);
    std::vector<int> number(n, -1);
    int groups = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t r = root(i);
        if (size[r] < 2)
            continue;
        if (number[r] < 0)
            number[r] = groups++;
        group[i] = number[r];
    }
    return group;
}

std::vector<GroupMark> MarkCheapest(const std::vector<int>& group,
                                    const std::vector<std::optional<std::int64_t>>& expected)
{
    const std::size_t n = std::min(group.size(), expected.size());
    std::vector<GroupMark> marks(n);
    int groups = 0;
    for (std::size_t i = 0; i < n; ++i) {
        marks[i].group = group[i];
        groups = std::max(groups, group[i] + 1);
    }
    // The cheapest of each group, the first among equals.
    std::vector<std::optional<std::size_t>> lowest(static_cast<std::size_t>(groups));
    for (std::size_t i = 0; i < n; ++i) {
        if (marks[i].group < 0 || !expected[i])
            continue;
        auto& best = lowest[static_cast<std::size_t>(marks[i].group)];
        if (!best || *expected[i] < *expected[*best])
            best = i;
    }
    for (const auto& best : lowest)
        if (best)
            marks[*best].cheapest = true;
    return marks;
}

std::vector<GroupMark> GroupRows(const std::vector<GroupInput>& rows)
{
    std::vector<std::string> titles;
    std::vector<std::optional<std::int64_t>> expected;
    for (const GroupInput& r : rows) {
        titles.push_back(r.title);
        expected.push_back(r.expected);
    }
    return MarkCheapest(GroupTitles(titles), expected);
}

std::string GroupLabel(int group)
{
    if (group < 0)
        return {};
    std::string label;
    for (int g = group + 1; g > 0; g = (g - 1) / 26)
        label.insert(label.begin(), static_cast<char>('A' + (g - 1) % 26));
    return label;
}
