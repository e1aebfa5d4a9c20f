// A bid-history service on 127.0.0.1 for the tests that fetch: pages in the
// service's layout, answered by request target.
#pragma once

#include <ctime>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "base/Text.h"
#include "tests/net/ScriptServer.h"

namespace {

inline std::string Http(std::string_view status, std::string_view body)
{
    return "HTTP/1.0 " + std::string(status) + "\r\nContent-Type: text/html\r\n\r\n" + std::string(body);
}

// The target of a recorded request line ("GET <target> HTTP/1.0").
inline std::string TargetOf(const std::string& request)
{
    const std::size_t from = request.find(' ') + 1;
    return request.substr(from, request.find(' ', from) - from);
}

inline std::tm Local(std::time_t t)
{
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}
// A date as the page's header writes it.
inline std::string HeaderDate(std::time_t t)
{
    const std::tm tm = Local(t);
    return Format("%d月%d日 %d時%02d分", tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min);
}

struct PageBid {
    std::time_t when;
    std::string bidder;
    int price;
};

// A bid-history page (UTF-8) in the service's layout; bids newest first.
inline std::string BidPage(const std::string& title, std::time_t start, std::time_t end, int startPrice,
                    const std::vector<PageBid>& bids, const std::string& buyNow = {})
{
    const int price = bids.empty() ? startPrice : bids.front().price;
    std::string page = "<HTML>\n<HEAD>\n<TITLE>Yahoo!オークション - " + title + "</TITLE>\n</HEAD>\n<BODY>\n<center>\n"
                       "<TABLE BORDER=0>\n"
                       "<TR><TD>開始日時：</TD><TD>" + HeaderDate(start) + "</TD></TR>\n"
                       "<TR><TD>終了日時：</TD><TD>" + HeaderDate(end) + " <a href=\"/jp/auction/t1\">（商品ページへ）</a></TD></TR>\n"
                       "<TR><TD>入札件数：</TD><TD>" + std::to_string(bids.size()) + "<small>（更新）</small></TD></TR>\n"
                       "<TR><TD>現在の価格：</TD><TD><b>" + Format("%d,%03d", price / 1000, price % 1000) + " 円</b></TD></TR>\n";
    if (!buyNow.empty())
        page += "<TR><TD bgcolor=ffffcc><b>希望落札価格：</b></TD><TD bgcolor=ffffcc><b>" + buyNow + " 円</b></TD></TR>\n";
    page += "<TR><TD>オークションID：</TD><TD>t1</TD></TR>\n"
            "<TR><TD>出品者：</TD><TD><a href=\"/jp/show/rating?userID=seller_9&\">seller_9</a></TD></TR>\n"
            "</TABLE>\n<HR>\n<B>入札の記録</B><BR>\n";
    auto row = [](std::time_t when, const std::string& text) {
        const std::tm tm = Local(when);
        return Format("<SMALL>[%d月%d日 %d時%02d分] ", tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min) + text
               + "</SMALL><BR>\n";
    };
    for (const PageBid& b : bids)
        page += row(b.when, b.bidder + " 手動入札 " + Format("%d", b.price) + "円");
    page += row(start, "オークション開始。 " + Format("%d", startPrice) + "円");
    return page + "</center>\n</BODY>\n</HTML>\n";
}

// A service on 127.0.0.1 answering by request target, recording every request.
class FakeService {
public:
    // Replies for each target; unknown targets get 404.
    void Set(const std::string& target, std::string response)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        replies_[target] = std::move(response);
    }
    // Runs on the service's thread after the request is read, before the reply.
    std::function<void()> beforeReply;

    std::string Url(const std::string& path) const { return "http://" + server.Address() + path; }
    std::vector<std::string> Targets() const
    {
        std::vector<std::string> out;
        for (const std::string& r : server.Requests())
            out.push_back(TargetOf(r));
        return out;
    }

private:
    void Serve(ScriptServer::Conn& conn)
    {
        const std::string target = TargetOf(conn.ReadRequest());
        if (beforeReply)
            beforeReply();
        std::string reply;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            auto it = replies_.find(target);
            reply = it != replies_.end() ? it->second : Http("404 Not Found", "<HTML>not here</HTML>");
        }
        conn.Send(reply);
        conn.Close();
    }

    std::mutex mutex_;
    std::map<std::string, std::string> replies_;

public:
    ScriptServer server{[this](ScriptServer::Conn& c, int) { Serve(c); }};
};

} // namespace
