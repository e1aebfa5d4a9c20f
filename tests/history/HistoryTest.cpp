#include <filesystem>
#include <gtest/gtest.h>
#include <QLocale>
#include <tuple>

#include "base/SqliteDb.h"
#include "base/Text.h"
#include <sqlite3.h>
#include "history/History.h"
#include "tests/history/TitleCorpus.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Sandbox.h"

namespace fs = std::filesystem;

namespace {

constexpr std::time_t kStart = 1'700'000'000;
constexpr std::time_t kDay = 86'400;

// One analysed auction: started at kStart, ends a day later, one bid per
// price after the start row.
struct Analysed {
    AuctionRecord record;
    BidLog log;
    std::optional<Prediction> prediction;

    Analysed(std::string_view id, std::string_view utf8Title, std::vector<std::int32_t> prices, bool ended,
        std::int64_t forecast = 0, std::time_t end = kStart + kDay)
    {
        record.auctionId = id;
        record.title = SjisFromUtf8(utf8Title);
        record.endText = std::string(SJ("12月1日 10時00分"));
        for (std::size_t i = prices.size(); i-- > 0;) {
            BidRecord bid;
            bid.time = static_cast<std::int32_t>(kStart + static_cast<std::time_t>(i) * 600);
            bid.price = prices[i];
            bid.bidderId = i == 0 ? std::string(SJ("オークション開始。")) : "bidder" + std::to_string(i);
            log.Add(bid);
        }
        Prediction p;
        p.ended = ended;
        p.forecast = ended ? 0 : forecast;
        p.confidence = ended ? 100 : 50;
        p.endTime = end;
        prediction = p;
    }
};

// The clock of a run at that share of the auction time.
std::time_t At(double share)
{
    return kStart + static_cast<std::time_t>(share * kDay);
}

bool RecordRun(History& history, const Analysed& run, std::time_t now, int keiko = 1)
{
    return history.Record(run.record, run.log, run.prediction, keiko, "http://page.test/jp/auction/x", now);
}

class HistoryTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(history.Open()); }
    History history;
};

} // namespace

TEST(TitleSimilarityTest, NearVariantsPassTheThresholdAndOtherItemsDoNot)
{
    EXPECT_EQ(TitleKey(SjisFromUtf8("【新品】ＮＩＮＴＥＮＤＯ　Switch ﾈｵﾝ／本体")), "新品nintendoswitchネオン本体");
    EXPECT_EQ(TitleKey(SjisFromUtf8("ﾆｺﾝ ニコン ｷｬﾉﾝ キヤノン ソニー ロレックス")), "nikonnikoncanoncanonsonyrolex");
    const struct {
        const char *a, *b;
        bool similar;
        const char* why;
    } cases[] = {
        // Without model tokens, as before: trigrams alone.
        {"【新品未開封】Nintendo Switch 本体 ネオンブルー/ネオンレッド", "Nintendo Switch 本体 ネオンブルー ネオンレッド 新品未開封", true, "reordered"},
        {"【新品未開封】Nintendo Switch 本体 ネオンブルー/ネオンレッド", "★美品★ニンテンドースイッチ本体 Nintendo Switch ネオンブルー/ネオンレッド", true, "maker and name in katakana"},
        {"【新品未開封】Nintendo Switch 本体 ネオンブルー/ネオンレッド", "ネオンサイン 看板 LED ブルー レッド", false, "another thing"},
        {"鬼滅の刃 全23巻 全巻セット", "鬼滅の刃 全巻セット 送料無料", true, "a count is no model"},
        // Sibling models apart.
        {"ニコン D70 ボディ", "ニコン D700 ボディ", false, "D70 / D700"},
        {"ニコン D70 ボディ", "ニコン D70s ボディ", false, "D70 / D70s"},
        {"Canon EOS Kiss X7 ボディ", "Canon EOS Kiss X7i ボディ", false, "X7 / X7i"},
        {"リコー GR II デジカメ", "リコー ＧＲⅢ デジカメ", false, "GR II / GR III"},
        {"ロレックス サブマリーナ 16610", "ロレックス サブマリーナ 16613", false, "16610 / 16613"},
        {"SONY WH-1000XM4 ヘッドホン", "SONY WH1000XM5 ヘッドホン", false, "XM4 / XM5"},
        {"PS4 本体", "PS4 Pro 本体", false, "a variant word"},
        {"PS4 本体 ジェットブラック", "PS4Pro 本体 ジェットブラック", false, "a variant word run in"},
        {"Nintendo Switch 本体", "Nintendo Switch 有機ELモデル 本体", false, "有機EL"},
        {"iPhone 12 64GB SIMフリー", "iPhone 12 128GB SIMフリー", false, "capacity"},
        {"Apple Watch Series 7 41mm", "Apple Watch Series 7 45mm", false, "size"},
        {"Canon EOS 5D Mark II ボディ", "Canon EOS 5D ボディ", false, "a series number one lacks"},
        {"SONY WH-1000XM4 ヘッドホン", "SONY ワイヤレスヘッドホン", false, "a model against none"},
        // The same model across spellings and word orders.
        {"ニコン D70 ボディ 美品", "Nikon Ｄ７０ ボディ 美品", true, "katakana and Latin, full width"},
        {"ﾆｺﾝ D70 ボディ 美品", "美品 ボディ NIKON D70", true, "half-width katakana, reordered"},
        {"キャノン EOS 5D Mark II ボディ", "Canon EOS 5D MarkⅡ ボディ", true, "キャノン, Ⅱ"},
        {"リコー GR III デジカメ", "RICOH ＧＲⅢ デジカメ", true, "Ⅲ"},
        {"ソニー WH-1000XM4 ヘッドホン", "SONY ＷＨ－１０００ＸＭ４ ヘッドホン", true, "separators"},
        {"ロレックス サブマリーナ 16610 自動巻き", "ROLEX サブマリーナ Ref.16610 自動巻き", true, "Ref."},
        {"GoPro HERO9 Black アクションカメラ", "ゴープロ HERO 9 BLACK アクションカメラ", true, "a blank inside"},
        {"PS4 本体 CUH-2200", "プレイステーション4 本体 CUH-2200", true, "PS4 written out"},
        {"iPhone 12 128GB SIMフリー", "iPhone12 128 GB SIMフリー", true, "capacity apart"},
        // Accessories and junk apart from the item and each other.
        {"ニコン D70 ボディ", "ニコン D70 用 バッテリー", false, "用"},
        {"iPhone 12 128GB", "iPhone 12 ケース 手帳型", false, "a case"},
        {"iPhone 12 128GB ケース付き", "iPhone 12 128GB", true, "its own case"},
        {"ニコン D70 ボディ", "ニコン D70 ボディ 元箱のみ", false, "the box"},
        {"ニコン D70 ボディ", "ニコン D70 ボディ 取扱説明書のみ", false, "the manual"},
        {"ニコン D70 ボディ", "※ジャンク※ ニコン D70 ボディ カビあり", false, "junk"},
        {"ニコン D70 ボディ", "ニコン D70 ボディ 部品取り", false, "for parts"},
        {"ニコン D70 ボディ ジャンク", "ニコン D70 ボディ ジャンク扱い", true, "junk with junk"},
        {"SONY WH-1000XM4 Bluetooth対応", "SONY WH-1000XM4", true, "a feature is not what it fits"},
        // The model decides, whatever the dressing.
        {"★美品★ NIKON D70 デジタル一眼レフ ストラップ付き 動作確認済み",
         "バッテリー 充電器付き ＮＩＫＯＮ Ｄ７０ ボディ 本体 センサー清掃済み ショット数１５００回", true, "long dressing"},
        {"Kiss X9i CANON 外観美品", "CANON デジタル一眼レフ Kiss X9i 付属品多数 元箱付き", true, "belongings"},
        {"iPhone 12 128GB ブルー SIMフリー 美品", "Apple iPhone12 128GB SIMロック解除済み ブルー バッテリー最大容量89%", true, "a maker one names"},
        {"Nikon D70 ボディ シャッター回数 約3000回", "ニコン D70 2013年購入 ボディ", true, "counts"},
        {"ニコン D70 ボディ", "キヤノン D70 ボディ", false, "makers that contradict"},
        // One model, many spellings.
        {"Canon EOS 5D Mark III", "Canon EOS 5D3", true, "5D3"},
        {"Canon EOS 5DMarkIII ボディ", "キヤノン 5D Mark Ⅲ", true, "5DMarkIII"},
        {"Canon EOS 5D3", "Canon EOS 5D Mark II", false, "5D3 / 5D Mark II"},
        {"SONY α7III ボディ", "ソニー α7 III ILCE-7M3 ボディ", true, "α7III and a catalogue code"},
        {"SONY α7III ボディ", "SONY α7 II ボディ", false, "α7 III / II"},
        {"CANON KissX9i", "Canon EOS Kiss X9i ボディ", true, "KissX9i"},
        {"RICOH GRIII", "リコー GR Ⅲ デジカメ", true, "GRIII"},
        {"RICOH GRII", "RICOH GRIII", false, "GRII / GRIII"},
        // Siblings apart.
        {"Nintendo Switch 2本体", "Nintendo Switch 本体", false, "本体 after a digit"},
        {"Nintendo Switch 2本体", "ニンテンドースイッチ2 本体 美品", true, "Switch 2"},
        {"ゲームボーイカラー 本体", "ゲームボーイアドバンス 本体", false, "katakana models"},
        {"ゲームボーイ アドバンス 本体", "ゲームボーイアドバンスSP 本体", false, "SP"},
        {"ゲームボーイ 本体 初代", "ゲームボーイポケット 本体", false, "ポケット"},
        {"ゲームボーイ ポケット 本体 動作品", "ゲームボーイポケット 本体", true, "ポケット apart"},
        {"【中古】GBA SP ゲームボーイアドバンスSP 本体", "任天堂 ゲームボーイアドバンス ＳＰ 本体", true, "SP apart"},
        {"Pocket WiFi 601ZT ルーター", "601ZT モバイルルーター", true, "pocket in Latin letters"},
        {"ルイヴィトン ネヴァーフルPM モノグラム", "ルイヴィトン ネヴァーフルMM モノグラム", false, "size letters"},
        {"LOUIS VUITTON ネヴァーフル MM モノグラム トートバッグ", "ルイヴィトン ネヴァーフルMM モノグラム", true, "MM"},
        // The seller's phrasebook makes no accessory.
        {"ニコン D70 ボディ 匿名配送対応", "ニコン D70 ボディ", true, "匿名配送対応"},
        {"ニコン D70 ボディ ケース・説明書付き", "ニコン D70 ボディ", true, "belongings listed"},
        {"iPhone 12 128GB 箱、保証書あり", "iPhone 12 128GB", true, "belongings listed with 、"},
        {"iPhone 12 128GB ケースなし", "iPhone 12 128GB", true, "without its case"},
        {"iPhone 12 128GB ケース・フィルム付き", "iPhone 12 128GB", true, "a film among the belongings"},
        {"MacBook Air 13インチ Mid 2013 Core i5", "MacBook Air 13インチ 2013年モデル Core i5", true, "a year"},
        {"ニコン D70対応 バッテリー", "ニコン D70 ボディ", false, "what a part fits"},
        {"iPhone12対応ケース 手帳型", "iPhone 12 128GB", false, "a case for it"},
    };
    for (const auto& c : cases) {
        const TitleFacts a = ReadTitle(SjisFromUtf8(c.a)), b = ReadTitle(SjisFromUtf8(c.b));
        const double s = TitleSimilarity(a, b);
        EXPECT_EQ(Alike(a, b, s), c.similar) << c.why << ": " << c.a << " / " << c.b << " " << s;
        EXPECT_EQ(Alike(b, a, s), c.similar) << c.why << " turned round";
    }
    EXPECT_EQ(TitleSimilarity(ReadTitle(SjisFromUtf8("D70 ボディ")), ReadTitle("")), 0.0);
}

TEST(TitleSimilarityTest, RareTrigramsWeighMore)
{
    const std::vector<std::string> a{"aaa", "bbb", "ccc"}, b{"aaa", "ddd", "eee"};
    EXPECT_NEAR(TrigramSimilarity(a, b), 1.0 / 3, 1e-9);
    // The shared trigram common to every title, the others rare.
    const double common = GramWeight(1000, 1000), rare = GramWeight(1, 1000);
    EXPECT_LT(common, rare / 5);
    EXPECT_LT(TrigramSimilarity(a, {common, rare, rare}, b, {common, rare, rare}), 0.1);
    EXPECT_GT(TrigramSimilarity(a, {rare, common, common}, b, {rare, common, common}), 0.8);
}

TEST(TitleCorpusTest, MarketsOfALabelledCorpusArePureAndClose)
{
    History history;
    ASSERT_TRUE(history.Open());
    const std::vector<CorpusAuction> recorded = MakeTitleCorpus(1000, 17, "h");
    ASSERT_TRUE(RecordCorpus(history, recorded));
    const CorpusFigures f = MeasureCorpus(history, recorded, MakeTitleCorpus(120, 1717, "q"));
    EXPECT_GE(f.Purity(), 0.97);
    EXPECT_LE(f.ImpureShare(), 0.10);
    EXPECT_GE(f.KnownCoverage(), 0.90);
    EXPECT_LE(f.MedianError(), 0.05);
}

// Titles written by hand, not by the generator: the model decides whatever
// the seller's dressing.
TEST(TitleCorpusTest, HandWrittenTitlesArePricedByTheirModel)
{
    const std::string file = MIRELO_SOURCE_DIR "/tests/history/titles/sellers.tsv";
    History history;
    ASSERT_TRUE(history.Open());
    const std::vector<CorpusAuction> recorded = ReadTitleFile(file, "h");
    const std::vector<CorpusAuction> queries = ReadTitleFile(file, "q");
    ASSERT_GE(recorded.size() + queries.size(), 400u);
    ASSERT_TRUE(RecordCorpus(history, recorded));
    const CorpusFigures f = MeasureCorpus(history, recorded, queries);
    EXPECT_GE(f.KnownCoverage(), 0.90);
    EXPECT_GE(f.Purity(), 0.97);
    EXPECT_LE(f.MedianError(), 0.05);
    EXPECT_LE(f.HalfTimeError(), 1.15 * f.TrueMedianError());
}

TEST(MarketTest, MedianOfTheMostSimilarAboveTheThresholdLessOutliersAndExclusions)
{
    using Ranked = std::vector<std::pair<double, std::int64_t>>;
    Ranked many(kMarketMaxCount, {0.9, 1000});
    many.insert(many.end(), 2, {0.8, 1});
    const struct {
        Ranked ranked;
        std::int64_t price = 0, low = 0, high = 0; // price 0: no market
        int count = 0;
        std::size_t outliers = 0, excluded = 0;
        std::vector<std::string> exclude = {}; // ids are the ranks
    } cases[] = {
        {{{0.9, 100}, {0.8, 200}}},
        {{{0.9, 100}, {0.8, 200}, {0.39, 300}}},
        {{{0.9, 300}, {0.8, 100}, {0.7, 200}, {0.3, 900}}, 200, 100, 300, 3},
        {{{1, 100}, {1, 200}, {1, 301}, {1, 1000}}, 250, 100, 1000, 4},
        {many, 1000, 1000, 1000, static_cast<int>(kMarketMaxCount)},
        // A price 5 times the others' is left out; 1.4 times is not, even
        // beside equal prices.
        {{{1, 1000}, {1, 1100}, {1, 900}, {1, 5000}, {1, 1050}}, 1025, 900, 1100, 4, 1},
        {{{1, 1000}, {1, 1000}, {1, 1000}, {1, 1400}}, 1000, 1000, 1400, 4},
        {{{1, 1000}, {1, 1000}, {1, 1000}, {1, 100}}, 1000, 1000, 1000, 3, 1},
        // The user's exclusions, and too few left without them.
        {{{1, 100}, {1, 200}, {1, 300}, {1, 400}}, 300, 200, 400, 3, 0, 1, {"0"}},
        {{{1, 100}, {1, 200}, {1, 300}}, 0, 0, 0, 0, 0, 0, {"2"}},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        std::vector<SimilarAuction> similar;
        for (auto [similarity, price] : cases[i].ranked)
            similar.push_back({std::to_string(similar.size()), "t", "", price, 0, similarity});
        const MarketPrice m = MarketFrom(similar, cases[i].exclude).value_or(MarketPrice{});
        const auto& c = cases[i];
        EXPECT_EQ(std::tuple(m.price, m.low, m.high, m.count, m.outliers.size(), m.excluded.size()),
                  std::tuple(c.price, c.low, c.high, c.count, c.outliers, c.excluded)) << i;
    }
}

TEST(MarketTest, MarketAwareForecastStaysBetweenTheCurrentPriceAndBuyItNow)
{
    const std::vector<std::int64_t> market{9000, 10000, 11000};
    const struct {
        std::int64_t seed, current, buyNow;
        double share;
        std::int64_t expected;
        const char* why;
        std::vector<std::int64_t> then = {};
    } cases[] = {
        {8000, 3000, -1, 0.5, 10000, "the market"},
        {8000, 15000, -1, 0.5, 15000, "never below the current price"},
        {8000, 3000, 9500, 0.5, 9500, "capped at buy-it-now"},
        {1000, 1000, -1, 0.5, 2500, "a course far below the market holds it down"},
        {1000, 1000, -1, 1.0, 1000, "to the seed forecast at the end"},
        {12000, 10549, -1, 0.9, 10549, "sales below the current price count at it, off the price steps too"},
        {8000, 3000, -1, 0.5, 11000, "the sale that stood where this one stands weighs most", {1000, 1000, 3000}},
        {8000, 3000, -1, 0.5, 9000, "an unknown course weighs as one alike, one far apart next to nothing",
         {0, 3000, 100}},
    };
    for (const auto& c : cases) {
        MarketForecastInput in;
        in.seedForecast = c.seed;
        in.marketPrice = 10000;
        in.closingPrices = market;
        in.pricesAtShare = c.then;
        in.currentPrice = c.current;
        in.buyNow = c.buyNow;
        in.elapsedShare = c.share;
        EXPECT_EQ(MarketAwareForecast(in), c.expected) << c.why;
    }
}

TEST(MarketTest, TheBandHoldsFourSalesInFiveAndTheChanceRisesWithTheLimit)
{
    // Ten sales of one model, none known at this share of its time.
    MarketForecastInput in;
    in.seedForecast = 9000;
    in.marketPrice = 10000;
    for (std::int64_t p = 8000; p <= 12500; p += 500)
        in.closingPrices.push_back(p);
    in.currentPrice = 3000;
    in.elapsedShare = 0.5;
    const std::int64_t forecast = MarketAwareForecast(in);
    const PriceSpread spread = MarketSpread(in, forecast);
    const PriceBand band = BandOf(spread);
    int inside = 0;
    for (std::int64_t p : in.closingPrices)
        inside += band.low <= p && p <= band.high;
    EXPECT_GE(inside, 7) << band.low << "-" << band.high;
    EXPECT_LE(inside, 10);
    EXPECT_LE(band.low, forecast);
    EXPECT_GE(band.high, forecast);

    const struct {
        std::int64_t limit;
        double low, high;
        const char* why;
    } cases[] = {
        {2999, 0, 0, "below the current price it cannot be won"},
        {6000, 0, 0.05, "far below every sale"},
        {10250, 0.35, 0.65, "at the middle sale, about even"},
        {12500, 0.85, 1, "at the highest sale, nearly sure"},
        {30000, 0.99, 1, "far above"},
    };
    for (const auto& c : cases) {
        const double chance = ChanceAtOrBelow(spread, c.limit);
        EXPECT_GE(chance, c.low) << c.why;
        EXPECT_LE(chance, c.high) << c.why;
    }

    // The current price above every sale and a buy-it-now price bound both.
    in.currentPrice = 14000;
    in.buyNow = 15000;
    const PriceSpread late = MarketSpread(in, MarketAwareForecast(in));
    const PriceBand held = BandOf(late);
    EXPECT_GE(held.low, 14000);
    EXPECT_LE(held.high, 15000);
    EXPECT_EQ(ChanceAtOrBelow(late, 15000), 1.0) << "buy-it-now wins it";
}

TEST(MarketTest, TheChanceCountsWhatClosesAtTheCurrentPriceAndFollowsAHeldForecastLate)
{
    const std::vector<std::int64_t> split = {7000, 7500, 8000, 8500, 9000, 12000, 12500, 13000, 13500, 14000};
    const std::vector<std::int64_t> above = {10000, 10500, 11000, 11500, 12000, 12500};
    const struct {
        std::vector<std::int64_t> sales;
        std::int64_t current; // also the seed forecast
        double share;
        std::int64_t limit;
        double low, high;
        const char* why;
    } cases[] = {
        {split, 10000, 0.9, 10000, 0.45, 0.55, "half the sales closed below the price: no further bid"},
        {split, 10000, 0.9, 10100, 0.45, 0.6, "just above the price"},
        {above, 3000, 0.25, 6000, 0, 0.05, "early, far below the market: it may yet catch up"},
        {above, 3000, 0.9, 6000, 0.5, 1, "late, far below the market: it mostly stays there"},
    };
    for (const auto& c : cases) {
        MarketForecastInput in;
        in.seedForecast = c.current;
        in.closingPrices = c.sales;
        in.currentPrice = c.current;
        in.elapsedShare = c.share;
        const PriceSpread spread = MarketSpread(in, MarketAwareForecast(in));
        const double chance = ChanceAtOrBelow(spread, c.limit);
        EXPECT_GE(chance, c.low) << c.why;
        EXPECT_LE(chance, c.high) << c.why;
        if (ChanceAtOrBelow(spread, c.current) >= (1 - kBandShare) / 2)
            EXPECT_EQ(BandOf(spread).low, c.current) << "the band starts where it may close: " << c.why;
    }
}

TEST_F(HistoryTest, WithoutAMarketTheBandComesFromTheUsersOwnErrorsAtThatShare)
{
    // Five closed auctions of unlike titles, each forecast at half time with
    // the middle tendency 10 000 and closed 8 000 to 12 000; one more forecast
    // at a tenth of its time and one with the high tendency do not count.
    for (int i = 0; i < 5; ++i) {
        const std::string id = "e" + std::to_string(i);
        const std::string title = "品物" + std::string(1, static_cast<char>('A' + i)) + "番 " + id;
        ASSERT_TRUE(RecordRun(history, Analysed(id, title, {1000, 5000}, false, 10000), At(0.5)));
        ASSERT_TRUE(RecordRun(history, Analysed(id, title, {1000, 5000}, false, 90000), At(0.1)));
        ASSERT_TRUE(RecordRun(history, Analysed(id, title, {1000, 5000}, false, 90000), At(0.5), 2));
        ASSERT_TRUE(RecordRun(history, Analysed(id, title, {1000, 8000 + 1000 * i}, true), At(2)));
    }
    Analysed current("now", "まったく別の品 Z9", {1000, 6000}, false, 20000);
    const TypedAuction typed = ReadAuction(current.record, current.log, At(0.5));
    const std::optional<ForecastSpread> spread =
        SpreadOf(history, std::nullopt, typed, current.log, current.prediction, 1, At(0.5));
    ASSERT_TRUE(spread);
    EXPECT_EQ(spread->basis, ForecastSpread::Basis::OwnErrors);
    EXPECT_EQ(spread->count, 5);
    // Closing at 0.8 to 1.2 times the forecast: the band of 20 000 lies about there.
    EXPECT_GE(spread->band.low, 14000);
    EXPECT_LE(spread->band.low, 17500);
    EXPECT_GE(spread->band.high, 22500);
    EXPECT_LE(spread->band.high, 26000);
    EXPECT_EQ(BandText(*spread, QLocale(QLocale::Japanese)).find("予測 5 件の誤差から") != std::string::npos, true);

    EXPECT_FALSE(SpreadOf(history, std::nullopt, typed, current.log, current.prediction, 0, At(0.5)))
        << "no low-tendency forecasts";
    EXPECT_FALSE(SpreadOf(history, std::nullopt, typed, current.log, current.prediction, 1, At(0.9)))
        << "none made near nine tenths";
}

TEST_F(HistoryTest, RecordsAndReRecordsAnAuction)
{
    EXPECT_EQ(HistoryPath(), sandbox::ConfigHome() + "/quillmere/mirelo/history.db");
    Analysed first("a1", "セイコー 腕時計", {1000, 1200, 1500}, false, 3000);
    {
        History::Batch batch(history);
        ASSERT_TRUE(RecordRun(history, first, At(0.3)));
    }
    EXPECT_TRUE(history.Auctions().empty()) << "a batch not committed stores nothing";

    History::Batch batch(history);
    ASSERT_TRUE(RecordRun(history, first, At(0.3)));
    Analysed second("a1", "セイコー 腕時計 限定", {1000, 1200}, false, 2000);
    ASSERT_TRUE(RecordRun(history, second, At(0.6)));
    ASSERT_TRUE(batch.Commit());

    const std::vector<RecordedAuction> list = history.Auctions();
    ASSERT_EQ(list.size(), 1u) << "one auction, recorded twice";
    EXPECT_EQ(list[0].title, SjisFromUtf8("セイコー 腕時計 限定"));
    EXPECT_EQ(list[0].latestPrice, 1200) << "the bids replaced";
    EXPECT_EQ(list[0].lastForecast, 2000);
    EXPECT_FALSE(list[0].closingPrice) << "still running";
}

TEST_F(HistoryTest, EndedAuctionsGiveTheMarketPriceAndTheAccuracy)
{
    // Forecasts made while it ran, at 30 % and at 60 %, then the close.
    Analysed running("b0", "SEIKO プレザージュ SARX035 腕時計", {5000, 8000}, false, 16000);
    for (double share : {0.3, 0.6})
        ASSERT_TRUE(RecordRun(history, running, At(share), 0));
    ASSERT_TRUE(RecordRun(history, Analysed("b0", "SEIKO プレザージュ SARX035 腕時計", {5000, 8000, 10000}, true),
                          At(1.5)));
    const RecordedAuction closed = history.Auctions()[0];
    EXPECT_EQ(closed.closingPrice, 10000) << "the latest bid";
    EXPECT_NEAR(closed.lastForecastError.value_or(0), 0.6, 1e-9);
    const Accuracy accuracy = history.ForecastAccuracy();
    EXPECT_EQ(std::tuple(accuracy.seed[0][1].count, accuracy.seed[0][2].count, accuracy.seed[1][2].count),
              std::tuple(1, 1, 0)) << "by share of time and tendency";
    EXPECT_NEAR(accuracy.seed[0][2].median, 0.6, 1e-9);

    ASSERT_TRUE(RecordRun(history, Analysed("b1", "セイコー プレザージュ SARX035 腕時計 美品", {5000, 12000}, true), At(2)));
    ASSERT_TRUE(RecordRun(history, Analysed("b2", "unsold: SEIKO プレザージュ SARX035", {5000}, true), At(2)));
    ASSERT_TRUE(RecordRun(history, Analysed("b3", "CASIO G-SHOCK 腕時計 DW-5600", {5000, 7000}, true), At(2)));
    const std::string title = SjisFromUtf8("【美品】SEIKO プレザージュ SARX035 腕時計 メンズ");
    EXPECT_FALSE(history.Market(title)) << "two similar sales are too few";

    ASSERT_TRUE(RecordRun(history, Analysed("b4", "SEIKO プレザージュ SARX035 腕時計", {5000, 14000}, true, 0, At(2)),
                          At(3)));
    const std::vector<SimilarAuction> similar = history.Similar(title);
    ASSERT_EQ(similar.size(), 3u) << "neither the unsold auction nor the other item";
    EXPECT_EQ(similar[0].auctionId, "b4") << "the latest first among equal titles";
    EXPECT_EQ(similar[1].auctionId, "b0");
    EXPECT_GT(similar[1].similarity, similar[2].similarity);
    EXPECT_EQ(history.Similar(title, "b4").size(), 2u) << "the auction itself is left out";

    Analysed current("c1", "【美品】SEIKO プレザージュ SARX035 腕時計 メンズ", {5000, 6000}, false, 9000);
    const std::optional<MarketOutlook> outlook = history.Outlook(current.record, current.log, current.prediction,
                                                                 At(0.5));
    ASSERT_TRUE(outlook);
    EXPECT_EQ(outlook->market.price, 12000);
    EXPECT_EQ(outlook->forecast, 10000) << "the sale whose price at half time was nearest weighs most";

    // A title read anew is searched anew.
    ASSERT_TRUE(RecordRun(history, Analysed("b3", "SEIKO プレザージュ SARX035 腕時計 中古", {5000, 7000}, true), At(3)));
    EXPECT_EQ(history.Similar(title).size(), 4u);
    EXPECT_TRUE(history.Similar(SjisFromUtf8("CASIO G-SHOCK 腕時計 DW-5600")).empty());
}

TEST_F(HistoryTest, TitlesOfAnyBytesAreStoredAndSearched)
{
    const std::string titles[] = {std::string("\x82", 1), std::string("\x00\xff\x81\x40\xa0", 5), "", "??",
                                  std::string(255, '\x88'), "\"a OR b\" NEAR( *"};
    int n = 0;
    for (const std::string& title : titles) {
        Analysed run("x" + std::to_string(n), "", {100, 200}, true);
        run.record.title = title;
        EXPECT_TRUE(RecordRun(history, run, At(2))) << n;
        EXPECT_NO_THROW(history.Similar(title)) << n;
        ++n;
    }
    EXPECT_EQ(history.Auctions()[0].title, titles[5]);
    EXPECT_EQ(history.Similar(titles[5]).size(), 1u) << "search words are the title's, not a query";
}

TEST(HistoryStoreTest, ADamagedFileIsSetAsideAndANewOneStarted)
{
    sandbox::WriteFile(HistoryPath(), std::string(4096, 'x'));
    History history;
    ASSERT_TRUE(history.Open());
    EXPECT_TRUE(RecordRun(history, Analysed("d1", "腕時計", {100, 200}, false, 300), At(0.5)));
    EXPECT_EQ(sandbox::ReadFile(HistoryPath() + ".damaged"), std::string(4096, 'x'));

    History reader;
    EXPECT_TRUE(reader.OpenToRead());
    EXPECT_EQ(reader.Auctions().size(), 1u);
    EXPECT_FALSE(reader.OpenToRead(sandbox::Dir() + "/absent.db"));
    EXPECT_FALSE(fs::exists(sandbox::Dir() + "/absent.db")) << "reading makes nothing";
}

TEST(HistoryStoreTest, ExclusionsAndAnOlderHistoryOutliveARestartANewerOneIsLeftAlone)
{
    const char* const titles[] = {"ニコン D70 ボディ", "Nikon D70 ボディ 美品", "ニコン D70 ボディ 中古", "ニコン D70 ボディ 良品"};
    {
        History history;
        ASSERT_TRUE(history.Open());
        for (int i = 0; i < 4; ++i)
            ASSERT_TRUE(RecordRun(history, Analysed("n" + std::to_string(i), titles[i], {100, 1000 + i}, true), At(2)));
        ASSERT_TRUE(history.SetExcluded("run", "n1", true));
        ASSERT_TRUE(history.SetExcluded("run", "n2", true));
        ASSERT_TRUE(history.SetExcluded("run", "n2", false));
    }
    // The first version's history: no exclusions, keys folded without the
    // makers' table, the index and its counts taken from those keys.
    {
        SqliteDb db;
        ASSERT_TRUE(db.Open(HistoryPath(), false, 1000));
        ASSERT_TRUE(db.Exec("DROP TABLE exclusions; DROP TABLE title_codes; DELETE FROM titles; DELETE FROM title_grams;"
                            " UPDATE auctions SET title_key = 'ニコンd70ボディ'; PRAGMA user_version = 1;"));
    }
    History history;
    ASSERT_TRUE(history.OpenToRead()) << "a reader upgrades it too";
    const std::string query = SjisFromUtf8("NIKON D70 ボディ");
    EXPECT_EQ(history.Similar(query).size(), 4u) << "re-keyed and indexed anew";
    ASSERT_TRUE(history.SetExcluded("run", "n1", true));
    {
        History reopened;
        ASSERT_TRUE(reopened.Open());
        EXPECT_EQ(reopened.Excluded("run"), std::vector<std::string>{"n1"});
        const std::optional<MarketPrice> market = reopened.Market(query, "run");
        ASSERT_TRUE(market);
        ASSERT_EQ(market->excluded.size(), 1u);
        EXPECT_EQ(market->excluded[0].auctionId, "n1");
        EXPECT_EQ(market->count, 3);
        EXPECT_EQ(reopened.Market(query, "other")->count, 4) << "an exclusion is one auction's";
    }

    {
        SqliteDb db;
        ASSERT_TRUE(db.Open(HistoryPath(), false, 1000));
        ASSERT_TRUE(db.Exec("PRAGMA user_version = 4"));
    }
    History newer;
    EXPECT_FALSE(newer.Open()) << "a newer program's history";
    SqliteDb db;
    ASSERT_TRUE(db.Open(HistoryPath(), false, 1000));
    SqliteStatement version(db, "PRAGMA user_version");
    ASSERT_EQ(version.Step(), SQLITE_ROW);
    EXPECT_EQ(version.ColumnInt64(0), 4);
}

// The user who follows one model: the whole history is that model, so no
// trigram of it is rare, and still its sales give the market price.
TEST(HistoryStoreTest, AHistoryOfOneModelGivesItsMarketPrice)
{
    const char* const dressing[] = {"美品", "中古", "ボディ", "ストラップ付き", "動作確認済み", "元箱付き", "送料無料"};
    for (const char* model : {"ニコン D70 デジタル一眼レフ", "ノースフェイス ヌプシジャケット"}) {
        for (int sales : {3, 10, 100}) {
            History history;
            ASSERT_TRUE(history.Open(sandbox::Dir() + Format("/one%d.db", sales)));
            ASSERT_TRUE(history.Clear());
            std::string first;
            for (int i = 0; i < sales; ++i) {
                const std::string title = std::string(model) + " " + dressing[i % 7] + " " + dressing[(i / 7 + i + 1) % 7];
                first = i == 0 ? title : first;
                ASSERT_TRUE(RecordRun(history, Analysed(Format("o%d", i), title, {100, 10000 + i}, true), At(2)));
            }
            const std::optional<MarketPrice> market = history.Market(SjisFromUtf8(first), "run");
            ASSERT_TRUE(market) << model << ", " << sales << " sales";
            EXPECT_EQ(market->count, std::min<int>(sales, kMarketMaxCount)) << model << ", " << sales << " sales";
        }
    }
}

TEST(HistoryStoreTest, TheAnalysisHookTellsTheListenerAndKeepsItsFaultFromTheRun)
{
    Analysed run("h1", "腕時計", {100, 200}, false, 300);
    int told = 0;
    SetAnalysisRunListener([&](const AuctionRecord& record, const BidLog&, std::time_t) {
        told += record.auctionId == "h1";
        throw std::runtime_error("a listener's fault stays with it");
    });
    RecordAnalysisRun(run.record, run.log, "http://page.test/jp/auction/h1", At(0.5));
    SetAnalysisRunListener({});
    EXPECT_EQ(told, 1);
}

TEST(HistoryStoreTest, TwoCopiesRecordAtOnce)
{
    constexpr int kRuns = 40;
    auto copy = [](char name) {
        return [name] {
            History history;
            if (!history.Open())
                return 100;
            int failures = 0;
            for (int i = 0; i < kRuns; ++i) {
                Analysed run(Format("%c%02d", name, i), "同じ商品 腕時計", {100, 200 + i}, true);
                failures += !RecordRun(history, run, At(2));
                if (i >= 2)
                    failures += !history.Market(run.record.title); // reading while the other writes
            }
            return failures;
        };
    };
    EXPECT_EQ(RunTogether({copy('A'), copy('B')}), (std::vector<int>{0, 0}));
    History history;
    ASSERT_TRUE(history.Open());
    EXPECT_EQ(history.Auctions().size(), 2u * kRuns);
    EXPECT_EQ(history.Similar(SjisFromUtf8("同じ商品 腕時計"), {}, 1000).size(), 2u * kRuns);
}
