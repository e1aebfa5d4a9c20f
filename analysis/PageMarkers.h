// The fixed page fragments the page readers look for, as Shift_JIS bytes.
// They are matched byte for byte against the converted page, case-sensitively.
#pragma once

#include <string_view>

struct BidPageMarkers {
    std::string_view title, titleEnd;        // <TITLE>Yahoo!オークション - ... </TITLE>
    std::string_view start, startEnd;        // 開始日時
    std::string_view end, endEnd;            // 終了日時
    std::string_view bidCount, bidCountEnd;  // 入札件数
    std::string_view price, priceValue;      // 現在の価格: searched marker, and the longer one its value follows
    std::string_view yenEnd;                 // " 円</b>", ends both prices
    std::string_view auctionId, auctionIdEnd;
    std::string_view seller, sellerEnd;      // userID= ... &"
    std::string_view buyNow;                 // 希望落札価格
    std::string_view logStart, logEnd;       // 入札の記録 ... </center>
    std::string_view cell, cellEnd;          // <SMALL> ... </SMALL>
    std::string_view auctionStart;           // オークション開始。
};

struct MyAuctionPageMarkers {
    std::string_view topHeading;
    std::string_view topLinkStart;
    std::string_view watchEnding, biddingEnding, sellingEnding, wonEnding, endedEnding;
    std::string_view tableHeader;
    std::string_view listLinkStart, boldListLinkStart;
    std::string_view pictureMark, titleMark, linkEnd, pictureSource;
};

const BidPageMarkers& BidMarkers();
const MyAuctionPageMarkers& MyAuctionMarkers();
