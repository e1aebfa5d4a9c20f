#include "analysis/BidHistory.h"

#include <algorithm>
#include <array>
#include <bit>
#include <optional>

#include "analysis/PageDate.h"
#include "analysis/PageLines.h"
#include "analysis/PageMarkers.h"
#include "base/Text.h"

AuctionRecord gAuctionRecord;
BidLog gBidLog;

void BidLog::Add(BidRecord record)
{
    if (Count() >= kCapacity)
        records_.back() = std::move(record);
    else
        records_.push_back(std::move(record));
}

std::string HeaderLabelText(HeaderField field, std::string_view value)
{
    std::string text(value);
    if (field == HeaderField::CurrentPrice || field == HeaderField::BuyNow)
        text += SJ("円");
    return text;
}

namespace {

// The converted page without line breaks is searched as one text of at most
// this many bytes (a 409,600-byte buffer with its terminator).
constexpr std::size_t kPageBytes = 409599;

struct HeaderRow {
    HeaderField field;
    std::string_view marker;  // the line must contain it; the value is cut after its first one in the page
    std::size_t valueOffset;  // from the start of that occurrence to the value
    std::string_view endMarker;
    std::string AuctionRecord::*text;
};

// Rows in the order they are tried: the six table rows, then the seller, then buy-it-now.
const std::array<HeaderRow, 8>& HeaderRows()
{
    static const std::array<HeaderRow, 8> rows = [] {
        const BidPageMarkers& m = BidMarkers();
        return std::array<HeaderRow, 8>{{
            {HeaderField::Title, m.title, m.title.size(), m.titleEnd, &AuctionRecord::title},
            {HeaderField::Start, m.start, m.start.size(), m.startEnd, &AuctionRecord::startText},
            {HeaderField::End, m.end, m.end.size(), m.endEnd, &AuctionRecord::endText},
            {HeaderField::BidCount, m.bidCount, m.bidCount.size(), m.bidCountEnd, &AuctionRecord::bidCountText},
            // The price cell's opening tags are skipped by length, not compared.
            {HeaderField::CurrentPrice, m.price, m.priceValue.size(), m.yenEnd, &AuctionRecord::currentPriceText},
            {HeaderField::AuctionId, m.auctionId, m.auctionId.size(), m.auctionIdEnd, &AuctionRecord::auctionId},
            {HeaderField::SellerId, m.seller, m.seller.size(), m.sellerEnd, &AuctionRecord::sellerId},
            {HeaderField::BuyNow, m.buyNow, m.buyNow.size(), m.yenEnd, &AuctionRecord::buyNowText},
        }};
    }();
    return rows;
}

enum class CellResult { Next, LineDone };

class BidHistoryParser {
public:
    BidHistoryParser(std::time_t now, const HeaderObserver& observer, AuctionRecord& record, BidLog& log)
        : clock_(now), observer_(observer), record_(record), log_(log), markers_(BidMarkers())
    {
    }

    // The page is read and converted once. Its lines without their breaks
    // make the page text that header values are cut from; a value may come
    // from a later line, so the text is complete before the first line is
    // scanned. The lines are then scanned from the page text itself, and
    // those beyond it straight from the file.
    void Read(const std::string& path)
    {
        PageLines lines(path);
        std::vector<std::size_t> ends; // where each non-empty line ends in page_
        std::optional<std::uint64_t> cut; // file offset of the first line the size limit cut
        // Converted text is never longer than the file: one allocation, sized to the page.
        page_.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(lines.FileSize(), kPageBytes + PageLines::kPieceBytes)));
        for (std::uint64_t at = lines.Offset(); page_.size() < kPageBytes; at = lines.Offset()) {
            const std::size_t begin = page_.size();
            if (!lines.AppendNext(page_))
                break;
            if (page_.size() > begin && page_.back() == '\n')
                page_.pop_back();
            if (page_.size() > kPageBytes) {
                page_.resize(begin + FitSjis(std::string_view(page_).substr(begin), kPageBytes - begin).size());
                if (!cut)
                    cut = at;
            } else if (!cut && page_.size() > begin) { // a line feed holds no marker
                ends.push_back(page_.size());
            }
        }
        std::string_view piece;
        const std::string_view page(page_);
        std::size_t begin = 0;
        for (std::size_t end : ends) {
            ScanLine(page.substr(begin, end - begin));
            begin = end;
        }
        // Only a page beyond the size limit reads its last lines of the text again.
        if (cut)
            lines.Seek(*cut);
        while (lines.Next(piece))
            ScanLine(piece);
    }

private:
    // Which of the tag markers a line holds: all but the seller's and the
    // log's start open with '<', so one walk over the line's '<' finds them,
    // where searching for each in turn would cost most of the parse.
    struct LineTags {
        std::array<bool, 8> header{}; // by HeaderRows() index; the seller's is not a tag
        std::size_t logEnd = std::string_view::npos;
        std::size_t cell = std::string_view::npos;
    };

    LineTags FindTags(std::string_view line) const
    {
        // The tag markers by their byte after '<': most '<' of a page then
        // need one look-up, not a comparison with each marker.
        struct TagTable {
            std::array<std::string_view, 10> markers; // header rows 0..7 (6 unused), log end, cell
            std::array<std::uint16_t, 256> bySecond{};
        };
        static const TagTable table = [] {
            TagTable t;
            const auto& rows = HeaderRows();
            const BidPageMarkers& markers = BidMarkers();
            for (std::size_t i = 0; i < rows.size(); ++i) {
                if (i != 6)
                    t.markers[i] = rows[i].marker;
            }
            t.markers[8] = markers.logEnd;
            t.markers[9] = markers.cell;
            for (std::size_t i = 0; i < t.markers.size(); ++i) {
                if (t.markers[i].size() >= 2)
                    t.bySecond[static_cast<unsigned char>(t.markers[i][1])] |= static_cast<std::uint16_t>(1u << i);
            }
            return t;
        }();

        LineTags tags;
        for (std::size_t at = line.find('<'); at != std::string_view::npos; at = line.find('<', at + 1)) {
            if (at + 1 == line.size())
                break;
            const std::string_view rest = line.substr(at);
            for (unsigned mask = table.bySecond[static_cast<unsigned char>(rest[1])]; mask != 0; mask &= mask - 1) {
                const int i = std::countr_zero(mask);
                if (!rest.starts_with(table.markers[static_cast<std::size_t>(i)]))
                    continue;
                if (i < 8)
                    tags.header[static_cast<std::size_t>(i)] = true;
                else if (i == 8 && tags.logEnd == std::string_view::npos)
                    tags.logEnd = at;
                else if (i == 9 && tags.cell == std::string_view::npos)
                    tags.cell = at;
            }
        }
        return tags;
    }

    // Each line decides which header field to cut, then feeds the bid log.
    void ScanLine(std::string_view line)
    {
        const LineTags tags = FindTags(line);
        if (HeaderStep(line, tags))
            BidLogStep(line, tags);
    }

    // False when the rest of the line is to be skipped.
    bool HeaderStep(std::string_view line, const LineTags& tags)
    {
        const auto& rows = HeaderRows();
        const HeaderRow* row = nullptr;
        for (std::size_t i = 0; i < 6 && !row; ++i) {
            if (tags.header[i])
                row = &rows[i];
        }
        if (!row) {
            if (!sellerFound_ && Contains(line, rows[6].marker))
                row = &rows[6];
            else if (tags.header[7])
                row = &rows[7];
        }
        if (!row)
            return true;

        const std::optional<std::string_view> value = CutValue(static_cast<std::size_t>(row - rows.data()));
        if (!value)
            return false;
        record_.*row->text = *value;
        if (row->field == HeaderField::SellerId)
            sellerFound_ = true;
        if (observer_)
            observer_(row->field, *value);
        return true;
    }

    // A row's value from the first place of its marker in the page; nothing
    // when the marker or its end marker is missing. The page text does not
    // change, so each row searches it once however many lines trigger it.
    std::optional<std::string_view> CutValue(std::size_t index)
    {
        Cut& cut = cuts_[index];
        if (cut.searched)
            return cut.value;
        cut.searched = true;
        const HeaderRow& row = HeaderRows()[index];
        const std::string_view page(page_);
        // A page cut at its size limit may lack the marker or the cell after it.
        const std::size_t at = FindText(page, row.marker);
        if (at == std::string_view::npos || page.size() - at < row.valueOffset)
            return std::nullopt;
        const std::size_t from = at + row.valueOffset;
        const std::size_t to = FindText(page, row.endMarker, from);
        if (to != std::string_view::npos)
            cut.value = FitSjis(page.substr(from, to - from), AuctionRecord::kTextBytes);
        return cut.value;
    }

    void BidLogStep(std::string_view line, const LineTags& tags)
    {
        if (!inBidLog_) {
            if (Contains(line, markers_.logStart))
                inBidLog_ = true;
        } else if (tags.logEnd != std::string_view::npos) {
            inBidLog_ = false;
        }
        if (!inBidLog_)
            return;
        std::size_t open = tags.cell;
        while (open != std::string_view::npos) {
            const std::size_t from = open + markers_.cell.size();
            const std::size_t close = FindText(line, markers_.cellEnd, from);
            if (close == std::string_view::npos)
                return;
            if (ReadCell(line.substr(from, close - from)) == CellResult::LineDone)
                return;
            open = FindText(line, markers_.cell, close + markers_.cellEnd.size());
        }
    }

    // One cell: "[date] bidder mode price", the opening bracket not compared.
    CellResult ReadCell(std::string_view cell)
    {
        const std::size_t bracket = cell.find(']');
        const std::size_t lastSpace = cell.rfind(' ');
        if (bracket == std::string_view::npos || lastSpace == std::string_view::npos)
            return CellResult::LineDone;
        // Rows without a readable date or price, or whose last space leaves no
        // middle part after "] ", have no values to store: skip them.
        if (bracket == 0 || lastSpace < bracket + 2)
            return CellResult::Next;
        const std::optional<PageDate> date = ReadPageDate(cell.substr(1, bracket - 1));
        if (!date)
            return CellResult::Next;
        const std::optional<std::time_t> when = clock_.NearestTime(*date);
        const std::optional<int> price = ReadPagePrice(cell.substr(lastSpace + 1));
        if (!when || !price)
            return CellResult::Next;

        const std::string_view middle = cell.substr(bracket + 2, lastSpace - (bracket + 2));
        std::string_view bidder, mode;
        if (const std::size_t start = FindText(middle, markers_.auctionStart); start != std::string_view::npos) {
            bidder = markers_.auctionStart;
            mode = middle.substr(start + markers_.auctionStart.size());
        } else if (const std::size_t space = middle.find(' '); space != std::string_view::npos) {
            bidder = middle.substr(0, space);
            mode = middle.substr(space + 1);
        } else {
            mode = middle;
        }

        log_.Add(BidRecord{
            .time = static_cast<std::int32_t>(*when),
            .price = *price,
            .dateText = std::string(FitSjis(PageDateLabel(*date), BidRecord::kDateTextBytes)),
            .bidderId = std::string(FitSjis(bidder, BidRecord::kIdBytes)),
            .mode = std::string(FitSjis(mode, BidRecord::kIdBytes)),
        });
        return CellResult::Next;
    }

    PageClock clock_;
    const HeaderObserver& observer_;
    AuctionRecord& record_;
    BidLog& log_;
    const BidPageMarkers& markers_;
    std::string page_;
    struct Cut {
        bool searched = false;
        std::optional<std::string_view> value; // into page_
    };
    std::array<Cut, 8> cuts_;
    bool inBidLog_ = false;
    bool sellerFound_ = false;
};

} // namespace

void ParseBidHistory(const std::string& pagePath, std::time_t now, const HeaderObserver& observer,
                     AuctionRecord& record, BidLog& log)
{
    record.Clear();
    log.Clear();
    BidHistoryParser parser(now, observer, record, log);
    parser.Read(pagePath);
}
