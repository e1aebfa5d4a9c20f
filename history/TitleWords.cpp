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
    {"プロ", "pro", true},
    {"ミニ", "mini", true},
    {"マックス", "max", true},
};

// Each changes what the thing is and what it fetches.
const char* const kVariantWords[] = {
    "pro", "max", "mini", "lite", "plus", "air", "se", "ultra", "oled", "ll", "xl", "new", "slim", "digitaledition",
};

const char* const kCounterUnits[] = {
    "円", "年", "月", "日", "時", "分", "秒", "個", "点", "枚", "回", "件", "冊", "巻", "本", "台", "着", "足",
    "歳", "才", "人", "名", "%", "サイズ", "箱", "部", "セット", "kg", "ml",
};

const KindWord kAccessoryWords[] = {
    {"用", "made for the model it follows (D70 用 バッテリー); 業務用 and 男性用 are items", true},
    {"互換", "a compatible part made by another maker, never the item"},
    {"対応", "names the models a part fits; an item's own title rarely says what it fits"},
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

const char* const kBelongingMarks[] = {"付", "つき", "あり", "有", "入"};

const char* const kFeatureWords[] = {"bluetooth", "wifi", "4k", "8k", "hdr", "5g", "ハイレゾ", "防水", "急速充電"};

} // namespace

std::span<const FoldWord> FoldWords() { return kFoldWords; }
std::span<const char* const> VariantWords() { return kVariantWords; }
std::span<const char* const> CounterUnits() { return kCounterUnits; }
std::span<const KindWord> AccessoryWords() { return kAccessoryWords; }
std::span<const KindWord> JunkWords() { return kJunkWords; }
std::span<const char* const> BelongingMarks() { return kBelongingMarks; }
std::span<const char* const> FeatureWords() { return kFeatureWords; }
