#include "board/BoardGroups.h"

#include <algorithm>
#include <numeric>

std::vector<int> GroupTitles(const std::vector<std::string>& titles)
{
    return TitleGrouper().Group(titles);
}

int TitleGrouper::Root(int slot)
{
    while (parent_[slot] != slot)
        slot = parent_[slot] = parent_[parent_[slot]];
    return slot;
}

// Titles that left the list are forgotten, so that one coming back is
// compared with whatever joined meanwhile. Only a title with comparable
// ones can split a group: then the slots are laid out and joined anew.
void TitleGrouper::Forget(const std::unordered_set<std::string>& listed)
{
    bool split = false;
    for (auto it = slot_.begin(); it != slot_.end();) {
        if (listed.count(it->first)) {
            ++it;
            continue;
        }
        Known& gone = known_[static_cast<std::size_t>(it->second)];
        gone.listed = false;
        split = split || !gone.near.empty();
        it = slot_.erase(it);
    }
    if (!split && known_.size() < 2 * slot_.size() + 64)
        return;
    std::vector<int> renumber(known_.size(), -1);
    std::vector<Known> kept;
    for (std::size_t s = 0; s < known_.size(); ++s) {
        if (known_[s].listed) {
            renumber[s] = static_cast<int>(kept.size());
            kept.push_back(std::move(known_[s]));
        }
    }
    for (auto& [title, s] : slot_)
        s = renumber[static_cast<std::size_t>(s)];
    parent_.resize(kept.size());
    std::iota(parent_.begin(), parent_.end(), 0);
    for (std::size_t s = 0; s < kept.size(); ++s) {
        std::vector<int>& near = kept[s].near;
        for (int& other : near)
            other = renumber[static_cast<std::size_t>(other)];
        near.erase(std::remove(near.begin(), near.end(), -1), near.end());
        for (int other : near)
            parent_[static_cast<std::size_t>(Root(other))] = Root(static_cast<int>(s));
    }
    known_ = std::move(kept);
}

std::vector<int> TitleGrouper::Group(const std::vector<std::string>& titles)
{
    Forget(std::unordered_set<std::string>(titles.begin(), titles.end()));
    for (const std::string& title : titles) {
        if (slot_.count(title))
            continue;
        const int added = static_cast<int>(known_.size());
        Known entry;
        entry.facts = ReadTitle(title);
        if (!entry.facts.key.empty()) {
            entry.self = TitleSimilarity(entry.facts, entry.facts) >= kSimilarityThreshold;
            for (const auto& [other, s] : slot_) {
                Known& known = known_[static_cast<std::size_t>(s)];
                if (!known.facts.key.empty() && TitleSimilarity(known.facts, entry.facts) >= kSimilarityThreshold) {
                    known.near.push_back(added);
                    entry.near.push_back(s);
                }
            }
        }
        known_.push_back(std::move(entry));
        parent_.push_back(added);
        for (int other : known_.back().near)
            parent_[static_cast<std::size_t>(Root(other))] = Root(added);
        slot_.emplace(title, added);
    }

    // Comparable is not transitive; a chain of comparable titles is one
    // group, as the user sees one model listed several times. A row whose
    // title is comparable with nothing, not even itself, stands alone.
    const std::size_t n = titles.size();
    std::vector<int> component(n);
    std::unordered_map<int, int> rows; // component -> rows in it
    for (std::size_t i = 0; i < n; ++i) {
        const int s = slot_.at(titles[i]);
        const Known& known = known_[static_cast<std::size_t>(s)];
        component[i] = known.self || !known.near.empty() ? Root(s) : -1 - static_cast<int>(i);
        ++rows[component[i]];
    }
    std::unordered_map<int, int> number;
    std::vector<int> group(n, -1);
    for (std::size_t i = 0; i < n; ++i) {
        if (rows[component[i]] < 2)
            continue;
        group[i] = number.emplace(component[i], static_cast<int>(number.size())).first->second;
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
