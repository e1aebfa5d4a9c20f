#include "import/MyAuctionScan.h"

#include <algorithm>

#include "analysis/PageLines.h"
#include "analysis/PageMarkers.h"
#include "base/Text.h"

MyAuctionLinks gMyAuctionLinks;

namespace {

constexpr auto npos = std::string_view::npos;

std::string Fit(std::string_view text, std::size_t maxBytes)
{
    return std::string(FitSjis(text, maxBytes));
}

void Trace(const LogSink& log, std::string_view prefix, const std::string& link)
{
    if (log)
        log(std::string(prefix) + link);
}

enum class Extract { Done, Skipped, EndScan };

// The link between the line's top link start and ending, into slot.
Extract ExtractLink(std::string_view line, std::string_view ending, std::string& slot)
{
    const MyAuctionPageMarkers& m = MyAuctionMarkers();
    const std::size_t start = FindText(line, m.topLinkStart);
    if (start == npos)
        return Extract::Skipped;
    const std::size_t from = start + m.topLinkStart.size();
    const std::size_t to = FindText(line, ending, from);
    if (to == npos)
        return Extract::EndScan;
    slot = Fit(line.substr(from, to - from), MyAuctionLinks::kLinkBytes);
    return Extract::Done;
}

// The ended watch list is the running one's link asking for closed auctions;
// the running one's link is made to ask for pictures and 50 items.
void AdjustWatchLinks(MyAuctionLinks& links, const LogSink& log)
{
    Trace(log, "B WTOPN > ", links.WTOPN);
    Trace(log, "B WTCLS > ", links.WTCLS);

    std::string closed = links.WTOPN;
    if (const std::size_t p = closed.find("watchclosed=0"); p != npos)
        closed[p + 12] = '1';
    if (const std::size_t p = closed.find("open"); p != npos)
        links.WTCLS = Fit(closed.replace(p, 4, "closed"), MyAuctionLinks::kLinkBytes);

    std::string open = links.WTOPN;
    if (const std::size_t p = open.find("myaucpic=false"); p != npos)
        open.replace(p, 14, "myaucpic=true ");
    else
        open += "&myaucpic=true";
    // Ten characters are overwritten; a shorter rest of the link is overwritten
    // up to its end and the link grows, rather than running past it.
    if (const std::size_t p = open.find("picsnum="); p != npos)
        open.replace(p, std::min<std::size_t>(10, open.size() - p), "picsnum=50");
    else
        open += "&picsnum=50";
    links.WTOPN = Fit(open, MyAuctionLinks::kLinkBytes);
}

// Harvests the auctions of one list line; false once the list is full.
bool HarvestLine(std::string_view line, AuctionList& list)
{
    const MyAuctionPageMarkers& m = MyAuctionMarkers();
    std::string_view linkStart;
    if (Contains(line, m.listLinkStart))
        linkStart = m.listLinkStart;
    else if (Contains(line, m.boldListLinkStart))
        linkStart = m.boldListLinkStart;
    else
        return true;

    for (std::size_t p = FindText(line, linkStart); p != npos;) {
        if (list.count >= AuctionList::kCapacity)
            return false;
        AuctionEntry& entry = list.entries[static_cast<std::size_t>(list.count)];
        const std::size_t address = p + linkStart.size();
        std::size_t next;
        if (const std::size_t picture = FindText(line, m.pictureMark, address); picture != npos) {
            // A picture link supplies the picture; its entry is completed by the title link.
            const std::size_t inner = picture + m.pictureMark.size();
            const std::size_t end = FindText(line, m.linkEnd, inner);
            if (end == npos)
                return true;
            entry.Url = Fit(line.substr(address, picture - address), AuctionList::kTextBytes);
            const std::string_view tag = line.substr(inner, end - inner);
            if (const std::size_t src = FindText(tag, m.pictureSource); src != npos) {
                const std::size_t from = src + m.pictureSource.size();
                if (const std::size_t quote = tag.find('"', from); quote != npos)
                    entry.Img = Fit(tag.substr(from, quote - from), AuctionList::kTextBytes);
            }
            next = end + m.linkEnd.size();
        } else {
            const std::size_t mark = FindText(line, m.titleMark, address);
            if (mark == npos)
                return true;
            const std::size_t title = mark + m.titleMark.size();
            const std::size_t end = FindText(line, m.linkEnd, title);
            if (end == npos)
                return true;
            entry.Url = Fit(line.substr(address, mark - address), AuctionList::kTextBytes);
            entry.Title = Fit(line.substr(title, end - title), AuctionList::kTextBytes);
            ++list.count;
            next = end + m.linkEnd.size();
        }
        p = FindText(line, linkStart, next);
    }
    return true;
}

} // namespace

void ParseMyAuctionTop(const std::string& path, const LogSink& log, MyAuctionLinks& links)
{
    const MyAuctionPageMarkers& m = MyAuctionMarkers();
    const std::pair<std::string_view, std::string*> others[] = {
        {m.biddingEnding, &links.ENTRY},
        {m.sellingEnding, &links.PUT},
        {m.wonEnding, &links.GET},
        {m.endedEnding, &links.CLOSE},
    };

    PageLines lines(path);
    bool afterHeading = false;
    std::string_view line;
    while (lines.Next(line)) {
        if (Contains(line, m.topHeading)) {
            afterHeading = true;
            continue;
        }
        if (!afterHeading)
            continue;
        Extract result = Extract::Skipped;
        if (Contains(line, m.watchEnding)) {
            result = ExtractLink(line, m.watchEnding, links.WTOPN);
            if (result == Extract::Done)
                AdjustWatchLinks(links, log);
        } else {
            for (const auto& [ending, slot] : others) {
                if (Contains(line, ending)) {
                    result = ExtractLink(line, ending, *slot);
                    break;
                }
            }
        }
        if (result == Extract::EndScan)
            break;
    }

    Trace(log, "A WTOPN > ", links.WTOPN);
    Trace(log, "A WTCLS > ", links.WTCLS);
    Trace(log, "A ENTRY > ", links.ENTRY);
    Trace(log, "A PUT   > ", links.PUT);
    Trace(log, "A GET   > ", links.GET);
    Trace(log, "A CLOSE > ", links.CLOSE);
}

void ParseMyAuctionList(const std::string& path, std::string_view heading, AuctionList& list)
{
    list.count = 0;
    for (AuctionEntry& entry : list.entries)
        entry.Img.clear();

    const MyAuctionPageMarkers& m = MyAuctionMarkers();
    enum { BeforeHeading, BeforeTable, InList } state = BeforeHeading;
    PageLines lines(path);
    std::string_view line;
    while (lines.Next(line)) {
        if (Contains(line, heading))
            state = BeforeTable; // a second heading waits for the table header again
        else if (state == BeforeTable && Contains(line, m.tableHeader))
            state = InList;
        else if (state == InList && !HarvestLine(line, list))
            break;
    }
}
