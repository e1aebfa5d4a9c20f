#include "analysis/BidHistory.h"

#include <array>
#include <optional>

#include "analysis/PageDate.h"
#include "analysis/PageLines.h"
#include "analysis/PageMarkers.h"
#include "app/Text.h"

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
        std::string_view piece;
        std::vector<std::size_t> ends; // where each non-empty line ends in page_
        std::optional<std::uint64_t> cut; // file offset of the first line the size limit cut
        for (std::uint64_t at = lines.Offset(); page_.size() < kPageBytes && lines.Next(piece); at = lines.Offset()) {
            if (!piece.empty() && piece.back() == '\n')
                piece.remove_suffix(1);
            const std::string_view fit = FitSjis(piece, kPageBytes - page_.size());
            page_ += fit;
            if (fit.size() < piece.size() && !cut)
                cut = at;
            else if (!cut && !piece.empty()) // a line feed holds no marker
                ends.push_back(page_.size());
        }
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
    // Each line decides which header field to cut, then feeds the bid log.
    void ScanLine(std::string_view line)
    {
        if (HeaderStep(line))
            BidLogStep(line);
    }

    // False when the rest of the line is to be skipped.
    bool HeaderStep(std::string_view line)
    {
        const auto& rows = HeaderRows();
        const HeaderRow* row = nullptr;
        for (std::size_t i = 0; i < 6 && !row; ++i) {
            if (Contains(line, rows[i].marker))
                row = &rows[i];
        }
        if (!row) {
            if (!sellerFound_ && Contains(line, rows[6].marker))
                row = &rows[6];
            else if (Contains(line, rows[7].marker))
                row = &rows[7];
        }
        if (!row)
            return true;

        // A page cut at its size limit may lack the marker or the cell after it.
        const std::size_t at = FindText(page_, row->marker);
        if (at == std::string::npos || page_.size() - at < row->valueOffset)
            return false;
        const std::size_t from = at + row->valueOffset;
        const std::size_t to = FindText(page_, row->endMarker, from);
        if (to == std::string::npos)
            return false;
        const std::string_view value = FitSjis(std::string_view(page_).substr(from, to - from), AuctionRecord::kTextBytes);
        record_.*row->text = value;
        if (row->field == HeaderField::SellerId)
            sellerFound_ = true;
        if (observer_)
            observer_(row->field, value);
        return true;
    }

    void BidLogStep(std::string_view line)
    {
        if (!inBidLog_) {
            if (Contains(line, markers_.logStart))
                inBidLog_ = true;
        } else if (Contains(line, markers_.logEnd)) {
            inBidLog_ = false;
        }
        if (!inBidLog_)
            return;
        std::size_t open = FindText(line, markers_.cell);
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
