#include "app/Unit1.h"

void TForm1::WireResults()
{
}

void TForm1::ResetResultLabels()
{
}

void TForm1::ShowField(HeaderField, std::string_view)
{
}

void TForm1::ShowBids(const BidLog&)
{
}

void TForm1::PredictWinningPrice(const AuctionRecord&, const BidLog&)
{
}

void TForm1::ShowSummary(const AuctionRecord&)
{
}
