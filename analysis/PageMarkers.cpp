#include "analysis/PageMarkers.h"

#include "base/Text.h"

const BidPageMarkers& BidMarkers()
{
    static const BidPageMarkers markers{
        .title = SJ("<TITLE>Yahoo!オークション - "),
        .titleEnd = "</TITLE>",
        .start = SJ("<TR><TD>開始日時：</TD><TD>"),
        .startEnd = "</TD>",
        .end = SJ("<TR><TD>終了日時：</TD><TD>"),
        .endEnd = "<a href",
        .bidCount = SJ("<TR><TD>入札件数：</TD><TD>"),
        .bidCountEnd = "<small>",
        .price = SJ("<TR><TD>現在の価格：</TD>"),
        .priceValue = SJ("<TR><TD>現在の価格：</TD><TD><b>"),
        .yenEnd = SJ(" 円</b>"),
        .auctionId = SJ("<TR><TD>オークションID：</TD><TD>"),
        .auctionIdEnd = "</TD>",
        .seller = "userID=",
        .sellerEnd = "&\"",
        .buyNow = SJ("<TR><TD bgcolor=ffffcc><b>希望落札価格：</b></TD><TD bgcolor=ffffcc><b>"),
        .logStart = SJ("入札の記録"),
        .logEnd = "</center>",
        .cell = "<SMALL>",
        .cellEnd = "</SMALL>",
        .auctionStart = SJ("オークション開始。"),
    };
    return markers;
}

const MyAuctionPageMarkers& MyAuctionMarkers()
{
    static const MyAuctionPageMarkers markers{
        .topHeading = SJ("<BIG><B>Yahoo!オークション</B> - <B>マイ・オークション</B></BIG>"),
        .topLinkStart = "<A HREF=\"",
        .watchEnding = SJ("\">ウォッチリスト</A>"),
        .biddingEnding = SJ("\">入札中</A>"),
        .sellingEnding = SJ("\">出品中</A>"),
        .wonEnding = SJ("\">落札</A>"),
        .endedEnding = SJ("\">終了分</A>"),
        .tableHeader = SJ("商品ID"),
        .listLinkStart = "><a href=\"",
        .boldListLinkStart = "><b><a href=\"",
        .pictureMark = "\"><IMG ",
        .titleMark = "\">",
        .linkEnd = "</a>",
        .pictureSource = "SRC=\"",
    };
    return markers;
}
