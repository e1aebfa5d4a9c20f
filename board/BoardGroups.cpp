#include "board/BoardGroups.h"

#include <numeric>

#include "history/Market.h"

std::vector<GroupMark> GroupRows(const std::vector<GroupInput>& rows)
{
    const std::size_t n = rows.size();
    std::vector<TitleFacts> facts;
    facts.reserve(n);
    for (const GroupInput& r : rows)
        facts.push_back(ReadTitle(r.title));
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

    std::vector<GroupMark> marks(n);
    std::vector<int> number(n, -1);
    int groups = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t r = root(i);
        if (size[r] < 2)
            continue;
        if (number[r] < 0)
            number[r] = groups++;
        marks[i].group = number[r];
    }
    // The cheapest of each group, the first among equals.
    std::vector<std::optional<std::size_t>> lowest(static_cast<std::size_t>(groups));
    for (std::size_t i = 0; i < n; ++i) {
        if (marks[i].group < 0 || !rows[i].expected)
            continue;
        auto& best = lowest[static_cast<std::size_t>(marks[i].group)];
        if (!best || *rows[i].expected < *rows[*best].expected)
            best = i;
    }
    for (const auto& best : lowest)
        if (best)
            marks[*best].cheapest = true;
    return marks;
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
