// Times the similar-auction search and the market price over a history of
// 100,000 ended auctions whose titles are made the way sellers write them:
// a brand and a model in Latin or Japanese letters, colours, condition words
// and decorations in varying order and width.
//
//   bench_history [auctions]
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "base/Text.h"
#include "history/History.h"

namespace {

constexpr int kQueries = 200;

struct Product {
    const char* latin;
    const char* japanese;
    const char* kind;
};

const Product kProducts[] = {
    {"Nintendo Switch", "ニンテンドースイッチ", "本体"},   {"PlayStation5", "プレイステーション5", "本体"},
    {"SEIKO", "セイコー", "腕時計"},                        {"CASIO G-SHOCK", "カシオ Gショック", "腕時計"},
    {"CITIZEN", "シチズン", "腕時計"},                      {"Canon EOS", "キヤノン", "デジタル一眼レフ"},
    {"Nikon", "ニコン", "ミラーレス一眼"},                  {"SONY α", "ソニー", "ミラーレス"},
    {"iPhone", "アイフォン", "SIMフリー"},                  {"iPad", "アイパッド", "Wi-Fiモデル"},
    {"LOUIS VUITTON", "ルイヴィトン", "バッグ"},            {"HERMES", "エルメス", "スカーフ"},
    {"BANDAI", "バンダイ", "ガンプラ"},                     {"LEGO", "レゴ", "ブロック"},
    {"ポケモンカード", "ポケカ", "プロモ"},                 {"Dyson", "ダイソン", "掃除機"},
    {"BALMUDA", "バルミューダ", "トースター"},              {"Panasonic", "パナソニック", "ドライヤー"},
    {"Roland", "ローランド", "シンセサイザー"},             {"YAMAHA", "ヤマハ", "アコースティックギター"},
};
const char* const kColours[] = {"ブラック", "ホワイト", "シルバー", "ネイビー", "レッド", "グレー", "ゴールド", "ブルー"};
const char* const kConditions[] = {"新品", "新品未開封", "未使用", "美品", "中古", "ジャンク", "動作確認済み", "箱付き"};
const char* const kDecorations[] = {"【", "】", "★", "☆", "◆", "送料無料", "1円スタート", "即決", "限定", "レア"};

std::string Title(std::mt19937& rng)
{
    auto pick = [&rng](auto& list) { return list[std::uniform_int_distribution<std::size_t>(0, std::size(list) - 1)(rng)]; };
    const std::size_t product = std::uniform_int_distribution<std::size_t>(0, std::size(kProducts) - 1)(rng);
    const Product& p = kProducts[product];
    // 50 models a maker, about 100 sales each: searches find their market.
    const int model = std::uniform_int_distribution<int>(100, 149)(rng);
    std::vector<std::string> words{rng() % 2 ? p.latin : p.japanese, p.kind,
                                   Format("%c%c-%d", 'A' + static_cast<int>(product), 'A' + static_cast<int>(product % 7),
                                          model),
                                   pick(kColours), pick(kConditions)};
    if (rng() % 2)
        words.push_back(p.latin == words[0] ? p.japanese : p.latin);
    std::shuffle(words.begin() + 2, words.end(), rng);
    std::string title = rng() % 3 ? std::string(pick(kDecorations)) : std::string();
    for (const std::string& w : words)
        title += (rng() % 4 ? " " : "") + w;
    if (rng() % 2)
        title += std::string(" ") + pick(kDecorations);
    return SjisFromUtf8(title);
}

double Ms(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

void Report(const char* what, std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    double sum = 0;
    for (double m : ms)
        sum += m;
    std::printf("%-28s mean %6.2f ms  median %6.2f ms  p95 %6.2f ms  max %6.2f ms\n", what,
                sum / static_cast<double>(ms.size()), ms[ms.size() / 2], ms[ms.size() * 95 / 100], ms.back());
}

} // namespace

int main(int argc, char** argv)
{
    const int auctions = argc > 1 ? std::atoi(argv[1]) : 100000;
    QTemporaryDir dir;
    const std::string path = dir.path().toStdString() + "/history.db";
    History history;
    if (!dir.isValid() || !history.Open(path)) {
        std::fprintf(stderr, "bench_history: cannot make %s\n", path.c_str());
        return 1;
    }

    std::mt19937 rng(20240601);
    std::vector<std::string> titles;
    const auto fillStart = std::chrono::steady_clock::now();
    {
        History::Batch batch(history);
        for (int i = 0; i < auctions; ++i) {
            AuctionRecord record;
            record.auctionId = Format("h%07d", i);
            record.title = Title(rng);
            BidLog log;
            log.Add({1'700'000'000 + i * 60, 2000 + static_cast<std::int32_t>(rng() % 50000), "", "b", ""});
            log.Add({1'700'000'000 + i * 60 - 86400, 1000, "", "start", ""});
            Prediction ended;
            ended.ended = true;
            ended.endTime = 1'700'000'000 + i * 60;
            if (!history.Record(record, log, ended, 1, "", ended.endTime + 1)) {
                std::fprintf(stderr, "bench_history: recording failed at %d\n", i);
                return 1;
            }
            if (i % (auctions / kQueries + 1) == 0)
                titles.push_back(record.title);
        }
        if (!batch.Commit()) {
            std::fprintf(stderr, "bench_history: the batch failed\n");
            return 1;
        }
    }
    std::printf("%d ended auctions recorded in %.1f s\n", auctions, Ms(std::chrono::steady_clock::now() - fillStart) / 1000);

    // Searched with titles the history has not seen: the same items written otherwise.
    std::vector<std::string> queries;
    for (int i = 0; i < kQueries; ++i)
        queries.push_back(i % 2 ? Title(rng) : titles[static_cast<std::size_t>(i) % titles.size()] + SjisFromUtf8(" 美品"));

    std::vector<double> similarMs, marketMs;
    std::size_t found = 0, priced = 0;
    for (const std::string& q : queries) {
        auto t0 = std::chrono::steady_clock::now();
        found += history.Similar(q).size();
        auto t1 = std::chrono::steady_clock::now();
        priced += history.Market(q).has_value();
        auto t2 = std::chrono::steady_clock::now();
        similarMs.push_back(Ms(t1 - t0));
        marketMs.push_back(Ms(t2 - t1));
    }
    std::printf("%d searches: %.1f similar auctions found on average, %zu with a market price\n", kQueries,
                static_cast<double>(found) / kQueries, priced);
    Report("similar auctions", similarMs);
    Report("market price", marketMs);
    return 0;
}
