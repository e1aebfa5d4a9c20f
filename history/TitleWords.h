// The words that decide what a title sells, in one place: the makers and
// words sellers write in katakana or Latin letters, the words that change a
// model, and the words that make a title an accessory or junk. Every entry
// is UTF-8 in its folded form (NFKC, case-folded).
#pragma once

#include <span>

struct FoldWord {
    const char* from;
    const char* to;
    bool alone; // only where no katakana follows: プロ but not プロモ
};
// Written one way or the other, a maker or word folds to its Latin form.
std::span<const FoldWord> FoldWords();

// Words that make another model of the same name: PS4 Pro is not a PS4.
std::span<const char* const> VariantWords();
// Size letters that stand alone as a word: ネヴァーフル PM / MM / GM.
std::span<const char* const> SizeLetters();

// Makers in their folded Latin form: two titles naming none in common are
// not the same thing, whatever model code they share.
std::span<const char* const> MakerWords();

// Units after a number that say how much or how many, not which model
// (1円スタート, 2個, 全23巻); the number does not name a model.
std::span<const char* const> CounterUnits();
// Words after a number that make it a model after all: Switch 2本体.
std::span<const char* const> NotCounters();
// Words before a number that make it a year, not a model: Mid 2013.
std::span<const char* const> YearWords();

struct KindWord {
    const char* word;
    const char* reason;
    bool afterModel = false; // counts only right after a Latin letter or digit: D70 用
};
// Words of a title that sells something for an item, or a part of it.
std::span<const KindWord> AccessoryWords();
// Words of a title that sells an item that may not work.
std::span<const KindWord> JunkWords();
// An accessory word followed by one of these describes the item's own
// belongings: ケース付き, ケースあり, ケースなし.
std::span<const char* const> BelongingMarks();
// Belongings listed after an accessory word before the mark, their ・ and 、
// gone: ケース・説明書付き, ケース、箱あり.
std::span<const char* const> BelongingNouns();
// 対応 after these tells a feature of the item (bluetooth対応) or a service
// of the seller's (匿名配送対応), not what it fits.
std::span<const char* const> FeatureWords();
