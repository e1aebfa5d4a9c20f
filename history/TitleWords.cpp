#include "history/TitleWords.h"

namespace {

// Longer forms first: each is replaced before the shorter ones inside it.
const FoldWord kFoldWords[] = {
    {"ニコン", "nikon", false},
    {"キヤノン", "canon", false},
    {"キャノン", "canon", false},
    {"ソニー", "sony", false},
    {"ロレックス", "rolex", false},
    {"ニンテンドー", "nintendo", false},
    {"任天堂", "nintendo", false},
    {"アップル", "apple", true},
    {"アイフォーン", "iphone", false},
    {"アイフォン", "iphone", false},
    {"アイパッド", "ipad", false},
    {"カシオ", "casio", false},
    {"セイコー", "seiko", false},
    {"シチズン", "citizen", false},
    {"オリンパス", "olympus", false},
    {"ペンタックス", "pentax", false},
    {"リコー", "ricoh", false},
    {"富士フイルム", "fujifilm", false},
    {"フジフイルム", "fujifilm", false},
    {"フジフィルム", "fujifilm", false},
    {"ゴープロ", "gopro", false},
    {"ダイソン", "dyson", false},
    {"パナソニック", "panasonic", false},
    {"シャープ", "sharp", false},
    {"バルミューダ", "balmuda", false},
    {"ローランド", "roland", false},
    {"ヤマハ", "yamaha", false},
    {"レゴ", "lego", false},
    {"バンダイ", "bandai", false},
    {"シマノ", "shimano", false},
    {"ボーズ", "bose", false},
    {"ティファール", "tfal", false},
    {"ルクルーゼ", "lecreuset", false},
    {"ルイヴィトン", "louisvuitton", false},
    {"エルメス", "hermes", false},
    {"シャネル", "chanel", false},
    {"グッチ", "gucci", false},
    {"オメガ", "omega", false},
    {"ザノースフェイス", "thenorthface", false},
    {"ノースフェイス", "thenorthface", false},
    // Game machines: a PS4 is written five ways.
    {"プレイステーション", "ps", false},
    {"プレステ", "ps", false},
    {"playstation", "ps", false},
    {"スイッチ ライト", "switch lite", false},
    {"スイッチライト", "switch lite", false},
    {"スイッチ", "switch", true},
    // Words that change a model, in katakana or run together.
    {"有機el", "oled", false},
    {"デジタルエディション", "digitaledition", false},
    {"digital edition", "digitaledition", false},
    {"promax", "pro max", false},
    {"プロマックス", "pro max", false},
    // Models named in katakana: each of a line is told by its own word.
    // Words of their own, which no seller writes in Latin letters: a Pocket
    // WiFi is no ゲームボーイポケット.
    {"ゲームボーイアドバンスsp", "gameboy gbadvancesp", false},
    {"ゲームボーイアドバンス sp", "gameboy gbadvancesp", false},
    {"ゲームボーイ アドバンスsp", "gameboy gbadvancesp", false},
    {"ゲームボーイ アドバンス sp", "gameboy gbadvancesp", false},
    {"ゲームボーイアドバンス", "gameboy gbadvance", false},
    {"ゲームボーイ アドバンス", "gameboy gbadvance", false},
    {"ゲームボーイカラー", "gameboy gbcolor", false},
    {"ゲームボーイ カラー", "gameboy gbcolor", false},
    {"ゲームボーイポケット", "gameboy gbpocket", false},
    {"ゲームボーイ ポケット", "gameboy gbpocket", false},
    {"ゲームボーイライト", "gameboy gblight", false},
    {"ゲームボーイ ライト", "gameboy gblight", false},
    {"ゲームボーイ", "gameboy", false},
    {"ネヴァーフル", "neverfull", false},
    {"ステラ", "stella", false},
    {"ツインパワー", "twinpower", false},
    {"ヌプシ", "nuptse", false},
    {"バルトロ", "baltro", false},
    {"マウンテンライト", "mountainlight", false},
    {"ネバーフル", "neverfull", false},
    // A series number run into the model: 5D3 is the 5D Mark III.
    {"5d2", "5d ii", false},
    {"5d3", "5d iii", false},
    {"5d4", "5d iv", false},
    {"7d2", "7d ii", false},
    {"プロ", "pro", true},
    {"ミニ", "mini", true},
    {"マックス", "max", true},
};

// Each changes what the thing is and what it fetches.
const char* const kVariantWords[] = {
    "pro", "max", "mini", "lite", "plus", "air", "se", "ultra", "oled", "ll", "xl", "new", "slim", "digitaledition",
    // The lines named in katakana above.
    "gbcolor", "gbpocket", "gbadvance", "gbadvancesp", "gblight",
    // Lines of one maker that share sizes: ステラ 2500S is no ツインパワー 2500S.
    "stella", "twinpower", "nuptse", "baltro", "mountainlight",
};

// Louis Vuitton's bag sizes; only as a word of their own, never 50mm.
const char* const kSizeLetters[] = {"pm", "mm", "gm"};

const char* const kMakerWords[] = {
    "nikon", "canon", "sony", "rolex", "nintendo", "apple", "casio", "seiko", "citizen", "olympus", "pentax",
    "ricoh", "fujifilm", "gopro", "dyson", "panasonic", "sharp", "balmuda", "roland", "yamaha", "lego", "bandai",
    "shimano", "bose", "tfal", "lecreuset", "louisvuitton", "hermes", "chanel", "gucci", "omega", "thenorthface",
    "sigma", "tamron", "leica", "samsung", "google", "microsoft", "makita", "hitachi", "toshiba", "daiwa",
    "korg", "fender", "gibson", "tissot", "garmin", "xiaomi", "huawei", "sennheiser", "audiotechnica",
};

const char* const kCounterUnits[] = {
    "円", "年", "月", "日", "時", "分", "秒", "個", "点", "枚", "回", "件", "冊", "巻", "本", "台", "着", "足",
    "歳", "才", "人", "名", "%", "サイズ", "箱", "部", "セット", "kg", "ml",
    // Counts of use and age: ショット数1500回, 1500ショット, 第7世代.
    "ショット", "世代",
};

// 本体 starts with the counter 本, but the number before it names the model.
const char* const kNotCounters[] = {"本体"};

// A number after these is the year of a model (MacBook Air Mid 2013), like 2013年.
const char* const kYearWords[] = {"mid", "late", "early"};

const KindWord kAccessoryWords[] = {
    {"用", "made for the model it follows (D70 用 バッテリー); 業務用 and 男性用 are items", true},
    {"互換", "a compatible part made by another maker, never the item"},
    {"対応", "names the models a part fits (D70対応, iPhone12対応ケース); after a service word it is the seller's", true},
    {"ケース", "a case sold on its own; ケース付き is the item with its case"},
    {"カバー", "a cover sold on its own"},
    {"保護フィルム", "a screen film"},
    {"液晶フィルム", "a screen film"},
    {"ガラスフィルム", "a screen film"},
    {"元箱のみ", "the box without the item"},
    {"箱のみ", "the box without the item"},
    {"空箱", "the empty box"},
    {"説明書のみ", "the manual without the item"},
    {"付属品のみ", "the belongings without the item"},
};

const KindWord kJunkWords[] = {
    {"ジャンク", "sold as not working (ジャンク扱い too): a fraction of the price"},
    {"部品取り", "bought for its parts"},
    {"パーツ取り", "bought for its parts"},
    {"動作未確認", "untested: priced as junk"},
    {"訳あり", "a known fault"},
    {"わけあり", "a known fault"},
    {"難あり", "a known fault"},
    {"カビあり", "mould in a lens or a case"},
    {"故障品", "broken"},
    {"故障中", "broken"},
    {"不動品", "does not run"},
};

// なし and 無し: the item without its case is still the item.
const char* const kBelongingMarks[] = {"付", "つき", "あり", "有", "入", "なし", "無し", "欠品", "完備"};

const char* const kBelongingNouns[] = {
    "取扱説明書", "説明書", "元箱", "外箱", "箱", "保証書", "充電器", "ケーブル", "ストラップ", "レンズキャップ",
    "キャップ", "バッテリー", "acアダプター", "アダプター", "カバー", "ケース", "ポーチ", "替えベルト", "付属品",
    "保護フィルム", "フィルム", "保存袋",
};

const char* const kFeatureWords[] = {
    "bluetooth", "wifi", "4k", "8k", "hdr", "5g", "lte", "ハイレゾ", "防水", "急速充電",
    // The seller's services: 匿名配送対応, paypay対応.
    "配送", "発送", "配達", "決済", "支払い", "paypay", "返品", "ゆうパック", "宅急便",
};

} // namespace

std::span<const FoldWord> FoldWords() { return kFoldWords; }
std::span<const char* const> VariantWords() { return kVariantWords; }
std::span<const char* const> SizeLetters() { return kSizeLetters; }
std::span<const char* const> MakerWords() { return kMakerWords; }
std::span<const char* const> CounterUnits() { return kCounterUnits; }
std::span<const char* const> NotCounters() { return kNotCounters; }
std::span<const char* const> YearWords() { return kYearWords; }
std::span<const KindWord> AccessoryWords() { return kAccessoryWords; }
std::span<const KindWord> JunkWords() { return kJunkWords; }
std::span<const char* const> BelongingMarks() { return kBelongingMarks; }
std::span<const char* const> BelongingNouns() { return kBelongingNouns; }
std::span<const char* const> FeatureWords() { return kFeatureWords; }
