#include "app/AuctionList.h"

AuctionList gAuctionList;
