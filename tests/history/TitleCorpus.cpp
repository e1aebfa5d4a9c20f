#include "tests/history/TitleCorpus.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include "base/Text.h"
#include "history/History.h"

namespace {

struct Model {
    const char* label;
    std::vector<const char*> spellings;
    std::int64_t price;
};

struct Line {
    std::vector<const char*> makers;   // one is picked per title; "" for none
    std::vector<const char*> words;    // what the thing is
    std::vector<Model> models;
    std::vector<std::pair<const char*, std::int64_t>> accessories; // sold for the models
};

// Sibling models that differ by a character or two, makers written in Latin
// and katakana, capacities and sizes, and goods that carry no model number.
const std::vector<Line>& Lines()
{
    static const std::vector<Line> lines = {
        {{"ニコン", "Nikon", "NIKON", "ﾆｺﾝ"}, {"デジタル一眼レフ", "一眼レフカメラ", "ボディ"},
         {{"D70", {"D70", "Ｄ７０", "d70"}, 15000}, {"D70s", {"D70s", "D70S", "Ｄ７０ｓ"}, 18000},
          {"D700", {"D700", "Ｄ７００"}, 60000}, {"D7000", {"D7000", "Ｄ７０００"}, 25000},
          {"D750", {"D750"}, 80000}, {"D7500", {"D7500"}, 70000}},
         {{"互換バッテリー EN-EL15", 1500}, {"純正ストラップ", 1500}}},
        {{"キヤノン", "キャノン", "Canon", "CANON"}, {"デジタル一眼レフ", "一眼レフ", "ボディ"},
         {{"Kiss X7", {"EOS Kiss X7", "EOS KISS X7", "EOSKiss X7"}, 25000},
          {"Kiss X7i", {"EOS Kiss X7i", "EOS KISS X7i"}, 30000},
          {"Kiss X9", {"EOS Kiss X9", "EOS KISS X9"}, 45000},
          {"Kiss X9i", {"EOS Kiss X9i", "EOS KISS X9i"}, 50000},
          {"5D2", {"EOS 5D Mark II", "EOS 5D MarkII", "EOS 5D Mark Ⅱ"}, 50000},
          {"5D3", {"EOS 5D Mark III", "EOS 5D MarkIII", "EOS 5D Mark Ⅲ"}, 90000}},
         {{"互換バッテリー LP-E8", 1200}, {"液晶保護フィルム", 800}}},
        {{"キヤノン", "Canon"}, {"単焦点レンズ", "レンズ"},
         {{"EF50 1.8", {"EF50mm F1.8 STM", "EF 50mm f1.8 STM"}, 12000},
          {"EF50 1.4", {"EF50mm F1.4 USM", "EF 50mm f1.4 USM"}, 30000},
          {"EF50 1.2", {"EF50mm F1.2L USM", "EF 50mm f1.2L USM"}, 110000},
          {"EF85 1.8", {"EF85mm F1.8 USM", "EF 85mm f1.8 USM"}, 35000}},
         {{"レンズフード ES-68", 1500}, {"レンズキャップ", 600}}},
        {{"ソニー", "SONY", "Sony"}, {"ワイヤレスヘッドホン", "ノイズキャンセリングヘッドホン", "ヘッドホン"},
         {{"XM3", {"WH-1000XM3", "WH1000XM3", "ＷＨ－１０００ＸＭ３"}, 15000},
          {"XM4", {"WH-1000XM4", "WH1000XM4", "ＷＨ－１０００ＸＭ４"}, 25000},
          {"XM5", {"WH-1000XM5", "WH1000XM5", "wh-1000xm5"}, 35000}},
         {{"キャリングケース", 2000}, {"交換用イヤーパッド", 1500}}},
        {{"リコー", "RICOH", "Ricoh"}, {"デジタルカメラ", "コンパクトデジカメ"},
         {{"GR II", {"GR II", "GRⅡ", "ＧＲ Ⅱ"}, 40000}, {"GR III", {"GR III", "GRⅢ", "ＧＲ Ⅲ"}, 80000},
          {"GR IV", {"GR DIGITAL IV", "GR DIGITAL Ⅳ"}, 20000}},
         {{"互換バッテリー DB-110", 1200}, {"ソフトケース GC-10", 2500}}},
        {{"ロレックス", "ROLEX", "Rolex"}, {"サブマリーナ デイト 腕時計", "サブマリーナー 自動巻き 腕時計"},
         {{"16610", {"16610", "Ref.16610", "16610 A番"}, 1100000}, {"16613", {"16613", "Ref.16613"}, 1500000},
          {"116610LN", {"116610LN", "Ref.116610LN"}, 1400000}, {"14060M", {"14060M", "Ref.14060M"}, 1000000}},
         {{"純正ベルト 替えコマ", 30000}}},
        {{"富士フイルム", "FUJIFILM", "フジフイルム"}, {"デジタルカメラ", "コンパクトカメラ"},
         {{"X100S", {"X100S", "Ｘ１００Ｓ"}, 45000}, {"X100T", {"X100T"}, 60000}, {"X100F", {"X100F"}, 90000},
          {"X100V", {"X100V", "x100v"}, 180000}},
         {{"互換バッテリー NP-95", 1300}, {"レンズフード", 2000}}},
        {{"GoPro", "ゴープロ"}, {"アクションカメラ", "ウェアラブルカメラ"},
         {{"HERO9", {"HERO9 Black", "HERO 9 BLACK", "hero9"}, 25000},
          {"HERO10", {"HERO10 Black", "HERO 10 BLACK"}, 32000},
          {"HERO11", {"HERO11 Black", "HERO 11 BLACK"}, 42000}},
         {{"互換バッテリー", 1500}, {"マウントセット", 1200}}},
        {{"SONY", "ソニー", ""}, {"本体", "ゲーム機 本体"},
         {{"PS4", {"PS4", "PlayStation4", "プレイステーション4", "プレステ4"}, 15000},
          {"PS4 Pro", {"PS4 Pro", "PS4Pro", "PlayStation4 Pro"}, 30000},
          {"PS5", {"PS5", "PlayStation5", "プレイステーション5"}, 55000},
          {"PS5 DE", {"PS5 デジタル・エディション", "PlayStation5 デジタルエディション"}, 45000}},
         {{"コントローラー 充電スタンド", 1500}, {"縦置きスタンド", 1200}}},
        {{"任天堂", "Nintendo", "ニンテンドー"}, {"本体", "ゲーム機 本体"},
         {{"Switch", {"Switch", "スイッチ"}, 25000}, {"Switch Lite", {"Switch Lite", "スイッチ ライト", "Switch lite"}, 14000},
          {"Switch OLED", {"Switch 有機ELモデル", "スイッチ 有機EL", "Switch 有機EL"}, 30000}},
         {{"保護フィルム", 600}, {"キャリングケース", 1500}}},
        {{"任天堂", "Nintendo"}, {"本体", "ゲーム機"},
         {{"3DS", {"3DS", "ニンテンドー3DS"}, 7000}, {"3DS LL", {"3DS LL", "3DSLL"}, 10000},
          {"New 3DS LL", {"New 3DS LL", "NEW 3DSLL", "new3DS LL"}, 16000}},
         {{"タッチペン", 500}, {"充電器", 800}}},
        {{"Apple", "アップル", ""}, {"SIMフリー", "スマホ 本体"},
         {{"iPhone 12 64", {"iPhone 12 64GB", "iPhone12 64GB", "アイフォン12 64GB"}, 45000},
          {"iPhone 12 128", {"iPhone 12 128GB", "iPhone12 128GB"}, 52000},
          {"iPhone 12 mini 64", {"iPhone 12 mini 64GB", "iPhone12 mini 64GB"}, 35000},
          {"iPhone 12 Pro 128", {"iPhone 12 Pro 128GB", "iPhone12 Pro 128GB"}, 65000},
          {"iPhone 13 128", {"iPhone 13 128GB", "iPhone13 128GB"}, 70000},
          {"iPhone 13 Pro Max 256", {"iPhone 13 Pro Max 256GB", "iPhone13 ProMax 256GB"}, 110000}},
         {{"ケース 手帳型", 800}, {"強化ガラス 保護フィルム", 500}}},
        {{"Apple", "アップル"}, {"Wi-Fiモデル タブレット", "Wi-Fi タブレット"},
         {{"iPad Air 4 64", {"iPad Air 4 64GB", "iPad Air4 64GB"}, 50000},
          {"iPad mini 6 64", {"iPad mini 6 64GB", "iPad mini6 64GB"}, 55000},
          {"iPad 9 64", {"iPad 第9世代 64GB", "iPad 9 64GB"}, 35000},
          {"iPad Pro 11 128", {"iPad Pro 11 128GB", "iPad Pro 11インチ 128GB"}, 80000}},
         {{"スマートカバー", 1500}, {"ペーパーライク 保護フィルム", 700}}},
        {{"Apple", "アップル"}, {"スマートウォッチ", "Apple Watch"},
         {{"Watch 7 45", {"Apple Watch Series 7 45mm", "Series7 45mm"}, 35000},
          {"Watch 7 41", {"Apple Watch Series 7 41mm", "Series7 41mm"}, 30000},
          {"Watch 8 45", {"Apple Watch Series 8 45mm", "Series8 45mm"}, 45000},
          {"Watch SE 40", {"Apple Watch SE 40mm", "Watch SE 40mm"}, 18000}},
         {{"互換バンド", 700}, {"充電ケーブル", 900}}},
        {{"カシオ", "CASIO"}, {"G-SHOCK 腕時計", "Gショック 腕時計"},
         {{"DW-5600E", {"DW-5600E", "DW5600E"}, 8000}, {"GW-M5610", {"GW-M5610", "GWM5610"}, 14000},
          {"GA-2100", {"GA-2100", "GA2100"}, 10000}, {"GMW-B5000", {"GMW-B5000", "GMWB5000"}, 45000}},
         {{"交換ベルト", 1500}, {"保護カバー バンパー", 900}}},
        {{"セイコー", "SEIKO"}, {"プレザージュ 自動巻き 腕時計", "メカニカル 腕時計"},
         {{"SARB033", {"SARB033"}, 45000}, {"SARB035", {"SARB035"}, 42000}, {"SARX035", {"SARX035"}, 60000},
          {"SARY055", {"SARY055"}, 30000}},
         {{"純正ベルト", 4000}}},
        {{"ダイソン", "Dyson", "dyson"}, {"コードレス掃除機", "サイクロン掃除機"},
         {{"V8", {"V8", "V8 Slim"}, 18000}, {"V10", {"V10"}, 28000}, {"V11", {"V11"}, 38000},
          {"V12", {"V12 Detect Slim"}, 55000}},
         {{"互換バッテリー", 3000}, {"フィルター", 900}}},
        {{"パナソニック", "Panasonic"}, {"ヘアドライヤー ナノケア", "ドライヤー"},
         {{"EH-NA0G", {"EH-NA0G", "EHNA0G"}, 20000}, {"EH-NA0J", {"EH-NA0J", "EHNA0J"}, 28000},
          {"EH-NA9G", {"EH-NA9G", "EHNA9G"}, 13000}},
         {{"セットノズル", 1200}}},
        {{"バルミューダ", "BALMUDA"}, {"トースター", "スチームトースター"},
         {{"K05A", {"K05A", "K05A-BK"}, 17000}, {"K01E", {"K01E", "K01E-KG"}, 11000}},
         {{"給水カップ", 800}}},
        {{"ローランド", "Roland"}, {"シンセサイザー", "キーボード"},
         {{"JUNO-DS61", {"JUNO-DS61", "JUNO DS61"}, 60000}, {"JUNO-DS88", {"JUNO-DS88", "JUNO DS88"}, 85000},
          {"JUNO-X", {"JUNO-X"}, 150000}},
         {{"ソフトケース", 5000}, {"ACアダプター", 2500}}},
        {{"ヤマハ", "YAMAHA"}, {"アコースティックギター", "アコギ"},
         {{"FG830", {"FG830", "FG-830"}, 25000}, {"FS830", {"FS830", "FS-830"}, 24000},
          {"LL16", {"LL16", "LL-16"}, 90000}},
         {{"ギグバッグ ソフトケース", 3000}}},
        {{"レゴ", "LEGO"}, {"ブロック", "レゴブロック 未開封"},
         {{"10497", {"10497"}, 25000}, {"10300", {"10300"}, 28000}, {"75192", {"75192"}, 110000}},
         {}},
        {{"シマノ", "SHIMANO"}, {"スピニングリール", "リール"},
         {{"Stella 2500", {"ステラ 2500S", "Stella 2500S"}, 55000},
          {"Stella 4000", {"ステラ 4000XG", "Stella 4000XG"}, 65000},
          {"Twin Power 2500", {"ツインパワー 2500S", "TwinPower 2500S"}, 28000}},
         {{"スプール", 6000}}},
        {{"ティファール", "T-fal"}, {"電気ケトル", "ケトル"},
         {{"Aprecia 0.8", {"アプレシア 0.8L"}, 2500}, {"Aprecia 1.2", {"アプレシア 1.2L"}, 3000}},
         {}},
        {{"ザ・ノースフェイス", "THE NORTH FACE", "ノースフェイス"}, {"メンズ", "アウター"},
         {{"Nuptse", {"ヌプシジャケット", "ヌプシ ダウンジャケット"}, 22000},
          {"Baltro", {"バルトロライトジャケット", "バルトロ ライト ジャケット"}, 35000},
          {"Mountain Light", {"マウンテンライトジャケット"}, 18000}},
         {}},
        {{"", "集英社"}, {"全巻セット", "コミック 全巻セット"},
         {{"Kimetsu", {"鬼滅の刃 全23巻", "鬼滅の刃"}, 4000}, {"Jujutsu", {"呪術廻戦", "呪術廻戦 0-24巻"}, 5000},
          {"Spy", {"スパイファミリー", "SPY×FAMILY"}, 3500}},
         {}},
        {{"ル・クルーゼ", "LE CREUSET", "ルクルーゼ"}, {"鍋", "ココット・ロンド"},
         {{"Rond 20", {"ココットロンド 20cm", "ロンド 20cm"}, 18000}, {"Rond 22", {"ココットロンド 22cm", "ロンド 22cm"}, 22000}},
         {}},
        {{"BOSE", "ボーズ"}, {"ワイヤレスイヤホン", "イヤホン"},
         {{"QC Earbuds", {"QuietComfort Earbuds"}, 12000}, {"QC Earbuds II", {"QuietComfort Earbuds II", "QuietComfort Earbuds Ⅱ"}, 20000}},
         {{"イヤーチップ", 900}}},
        {{"", "ポケモン"}, {"ポケモンカード", "ポケカ"},
         {{"Lizardon", {"リザードンex SAR", "リザードン ex SAR"}, 12000}, {"Pikachu", {"ピカチュウ プロモ", "ピカチュウ プロモカード"}, 3000}},
         {}},
    };
    return lines;
}

const char* const kDress[] = {"美品", "中古", "良品", "動作確認済み", "付属品完備", "元箱付き", "送料無料", "即決",
                              "1円スタート", "ケース付き", "人気", "ブラック", "ホワイト", "シルバー", "2個口発送不可"};
const char* const kJunk[] = {"ジャンク", "※ジャンク※", "ジャンク扱い", "部品取り", "動作未確認", "訳あり", "カビあり", "故障品"};

template <typename List>
const auto& Pick(std::mt19937& rng, const List& list)
{
    return list[std::uniform_int_distribution<std::size_t>(0, std::size(list) - 1)(rng)];
}

std::string Join(std::vector<std::string> words, std::mt19937& rng)
{
    std::string out;
    for (const std::string& w : words) {
        if (w.empty())
            continue;
        if (!out.empty())
            out += rng() % 5 ? " " : "　";
        out += w;
    }
    return out;
}

} // namespace

std::vector<CorpusAuction> MakeTitleCorpus(std::size_t count, std::uint32_t seed, const std::string& idPrefix)
{
    std::mt19937 rng(seed);
    std::vector<CorpusAuction> corpus;
    std::lognormal_distribution<double> noise(0.0, 0.15);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (std::size_t n = 0; n < count; ++n) {
        const Line& line = Pick(rng, Lines());
        const Model& model = Pick(rng, line.models);
        const std::string maker = Pick(rng, line.makers);
        const std::string spelling = Pick(rng, model.spellings);
        const std::string word = Pick(rng, line.words);
        const double roll = unit(rng);
        CorpusAuction a;
        a.id = idPrefix + std::to_string(n);
        double price = static_cast<double>(model.price);
        if (roll < 0.14 && !line.accessories.empty()) {
            // Sold for the model: a part, a box, a manual.
            const auto& [what, accessoryPrice] = Pick(rng, line.accessories);
            const int form = static_cast<int>(rng() % 6);
            const std::string thing = form == 3 ? "元箱のみ" : form == 4 ? "空箱" : form == 5 ? "取扱説明書のみ" : what;
            a.label = std::string(model.label) + " / " + (form >= 3 ? (form == 5 ? "manual" : "box") : what) + " / accessory";
            price = form >= 3 ? 1000 + static_cast<double>(model.price) / 200 : static_cast<double>(accessoryPrice);
            switch (form) {
            case 0: a.title = Join({maker, spelling, "用", thing}, rng); break;
            case 1: a.title = Join({thing, spelling, "対応"}, rng); break;
            case 2: a.title = Join({spelling, "互換", thing, rng() % 2 ? "新品" : ""}, rng); break;
            default: a.title = Join({maker, spelling, word, thing}, rng); break;
            }
        } else if (roll < 0.24) {
            a.label = std::string(model.label) + " / junk";
            price *= 0.3;
            std::vector<std::string> words{maker, spelling, word, Pick(rng, kJunk)};
            if (rng() % 2)
                words.push_back(Pick(rng, kJunk));
            std::shuffle(words.begin() + 1, words.end(), rng);
            a.title = Join(words, rng);
        } else {
            a.label = std::string(model.label) + " / item";
            std::vector<std::string> words{maker, spelling, word};
            for (int extra = static_cast<int>(rng() % 3); extra-- > 0;)
                words.push_back(Pick(rng, kDress));
            std::shuffle(words.begin() + 2, words.end(), rng);
            if (rng() % 4 == 0)
                std::swap(words[0], words[1]); // the model first
            a.title = (rng() % 3 == 0 ? "【" + std::string(Pick(rng, kDress)) + "】" : std::string()) + Join(words, rng);
        }
        // A few sales far off their model's price: a strap sold as the watch,
        // a price typed with a digit too many.
        const double odd = unit(rng);
        price *= odd < 0.02 ? 0.25 : odd < 0.04 ? 3.0 : noise(rng);
        a.price = std::max<std::int64_t>(100, std::llround(price / 100) * 100);
        corpus.push_back(std::move(a));
    }
    return corpus;
}

std::vector<CorpusAuction> ReadTitleFile(const std::string& path, const std::string& role)
{
    std::vector<CorpusAuction> auctions;
    std::ifstream in(path);
    std::string line;
    for (int n = 1; std::getline(in, line); ++n) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> fields;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, '\t');)
            fields.push_back(cell);
        if (fields.size() != 5 || fields[0] != role)
            continue;
        CorpusAuction a;
        a.id = role + std::to_string(n);
        a.title = fields[1];
        a.label = fields[2] + " / " + fields[3];
        a.price = std::stoll(fields[4]);
        auctions.push_back(std::move(a));
    }
    return auctions;
}

bool RecordCorpus(History& history, const std::vector<CorpusAuction>& auctions)
{
    History::Batch batch(history);
    std::int32_t end = 1'700'000'000;
    for (const CorpusAuction& a : auctions) {
        AuctionRecord record;
        record.auctionId = a.id;
        record.title = SjisFromUtf8(a.title);
        BidLog log;
        log.Add({end, static_cast<std::int32_t>(a.price), "", "bidder", ""});
        log.Add({end - 86400, 100, "", "start", ""});
        Prediction ended;
        ended.ended = true;
        ended.endTime = end;
        if (!history.Record(record, log, ended, 1, "", end + 1))
            return false;
        end += 600;
    }
    return batch.Commit();
}

double CorpusFigures::MedianError() const
{
    if (errors.empty())
        return 0;
    std::vector<double> sorted = errors;
    std::sort(sorted.begin(), sorted.end());
    return sorted[sorted.size() / 2];
}

namespace {

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return SortedMedian(values);
}

} // namespace

double CorpusFigures::HalfTimeError() const
{
    return Median(halfTimeErrors);
}

double CorpusFigures::TrueMedianError() const
{
    return Median(trueMedianErrors);
}

double CorpusFigures::MeanError() const
{
    double sum = 0;
    for (double e : errors)
        sum += e;
    return errors.empty() ? 0 : sum / static_cast<double>(errors.size());
}

CorpusFigures MeasureCorpus(const History& history, const std::vector<CorpusAuction>& recorded,
                            const std::vector<CorpusAuction>& queries)
{
    std::map<std::string, std::string> labelOf;
    std::map<std::string, std::vector<std::int64_t>> pricesOf;
    for (const CorpusAuction& a : recorded) {
        labelOf[a.id] = a.label;
        pricesOf[a.label].push_back(a.price);
    }
    CorpusFigures figures;
    for (const CorpusAuction& q : queries) {
        ++figures.queries;
        const bool known = pricesOf.count(q.label) && pricesOf[q.label].size() >= 3;
        figures.known += known;
        const std::optional<MarketPrice> market = history.Market(SjisFromUtf8(q.title), q.id);
        if (!market)
            continue;
        ++figures.priced;
        figures.knownPriced += known;
        if (known) {
            // Half time: the price stands at 35 to 75 % of where it will
            // close, and the straight line doubles it.
            const double standing = 0.35 + 0.4 * static_cast<double>((figures.queries * 37) % 100) / 100;
            MarketForecastInput in;
            in.currentPrice = std::max<std::int64_t>(100, std::llround(static_cast<double>(q.price) * standing / 10) * 10);
            in.seedForecast = 2 * in.currentPrice;
            in.marketPrice = market->price;
            for (const SimilarAuction& s : market->similar)
                in.closingPrices.push_back(s.closingPrice);
            in.elapsedShare = 0.5;
            const double closing = static_cast<double>(q.price);
            figures.halfTimeErrors.push_back(std::abs(static_cast<double>(MarketAwareForecast(in)) - closing) / closing);
            std::vector<std::int64_t> own = pricesOf[q.label];
            std::sort(own.begin(), own.end());
            figures.trueMedianErrors.push_back(std::abs(static_cast<double>(SortedMedian(own)) - closing) / closing);
        }
        bool pure = true;
        for (const SimilarAuction& s : market->similar) {
            const bool right = labelOf[s.auctionId] == q.label;
            figures.right += right;
            pure = pure && right;
            ++figures.comparables;
        }
        figures.impureMarkets += !pure;
        std::vector<std::int64_t> own = pricesOf[q.label];
        if (own.empty())
            continue;
        std::sort(own.begin(), own.end());
        const double median = static_cast<double>(own[own.size() / 2]);
        figures.errors.push_back(std::abs(static_cast<double>(market->price) - median) / median);
    }
    return figures;
}
