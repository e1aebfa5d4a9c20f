#include "history/Market.h"

#include <QString>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <span>

#include "analysis/Forecast.h"
#include "base/Text.h"
#include "history/TitleWords.h"

namespace {

bool IsLatinOrDigit(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9');
}

bool IsDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool IsKatakana(QChar c)
{
    return c.unicode() >= 0x30A0 && c.unicode() <= 0x30FF;
}

// The word lists as QStrings, made once.
struct Words {
    struct Fold {
        QString from, to;
        bool alone;
    };
    struct Kind {
        QString word;
        bool afterModel;
    };
    std::vector<Fold> folds;
    std::vector<QString> variants, sizeLetters, makers, counters, notCounters, years, belongings, belongingNouns, features;
    std::vector<Kind> accessories, junk;
};

std::vector<QString> QStrings(std::span<const char* const> list)
{
    std::vector<QString> out;
    for (const char* w : list)
        out.push_back(QString::fromUtf8(w));
    return out;
}

std::vector<Words::Kind> Kinds(std::span<const KindWord> list)
{
    std::vector<Words::Kind> out;
    for (const KindWord& w : list)
        out.push_back({QString::fromUtf8(w.word), w.afterModel});
    return out;
}

const Words& TheWords()
{
    static const Words words = [] {
        Words w;
        for (const FoldWord& f : FoldWords())
            w.folds.push_back({QString::fromUtf8(f.from), u' ' + QString::fromUtf8(f.to) + u' ', f.alone});
        w.variants = QStrings(VariantWords());
        w.sizeLetters = QStrings(SizeLetters());
        w.makers = QStrings(MakerWords());
        w.counters = QStrings(CounterUnits());
        w.notCounters = QStrings(NotCounters());
        w.years = QStrings(YearWords());
        w.belongings = QStrings(BelongingMarks());
        w.belongingNouns = QStrings(BelongingNouns());
        w.features = QStrings(FeatureWords());
        w.accessories = Kinds(AccessoryWords());
        w.junk = Kinds(JunkWords());
        return w;
    }();
    return words;
}

// NFKC folds full-width letters and digits and half-width katakana into one
// form; case folding does the rest for Latin letters. Roman numeral
// characters stand apart first, since NFKC makes ＧＲⅢ one word "griii". The
// table's makers and words go to their Latin form as words of their own.
QString Fold(std::string_view sjisTitle)
{
    const QString raw = QString::fromStdString(Utf8FromSjis(sjisTitle));
    QString spaced;
    spaced.reserve(raw.size());
    for (QChar c : raw) {
        if (c.unicode() >= 0x2160 && c.unicode() <= 0x217F)
            spaced.append(u' ').append(c).append(u' ');
        else
            spaced.append(c);
    }
    QString s = spaced.normalized(QString::NormalizationForm_KC).toCaseFolded();
    s.remove(QChar(0x30FB)); // デジタル・エディション, ル・クルーゼ
    s = s.simplified();
    for (const Words::Fold& word : TheWords().folds) {
        for (qsizetype at = s.indexOf(word.from); at >= 0; at = s.indexOf(word.from, at)) {
            const qsizetype end = at + word.from.size();
            if (word.alone && end < s.size() && IsKatakana(s[end])) {
                at = end;
                continue;
            }
            s.replace(at, word.from.size(), word.to);
            at += word.to.size();
        }
    }
    return s;
}

// Everything that is neither letter nor digit (【】★／・, blanks, '?' for
// bytes that are not Shift_JIS) only dresses the words and goes. Without
// separators, "本体 新品" and "本体新品" fold alike.
QString Compact(const QString& folded)
{
    QString key;
    key.reserve(folded.size());
    for (auto it = folded.cbegin(); it != folded.cend(); ++it) {
        if (it->isHighSurrogate() && it + 1 != folded.cend() && (it + 1)->isLowSurrogate()) {
            if (QChar::isLetterOrNumber(QChar::surrogateToUcs4(*it, *(it + 1))))
                key.append(*it).append(*(it + 1));
            ++it;
        } else if (it->isLetterOrNumber()) {
            key.append(*it);
        }
    }
    return key;
}

bool Among(const std::vector<QString>& list, QStringView word)
{
    return std::any_of(list.begin(), list.end(), [word](const QString& w) { return word == w; });
}

bool StartsWithAny(const std::vector<QString>& list, QStringView text)
{
    return std::any_of(list.begin(), list.end(), [text](const QString& w) { return text.startsWith(w); });
}

bool IsRoman(QStringView w)
{
    static const std::vector<QString> numerals = QStrings(std::initializer_list<const char*>{"ii", "iii", "iv", "vi", "vii", "viii", "ix"});
    return Among(numerals, w);
}

// The series number run onto the end of a model: griii, 7iii, x100vi,
// 5dmarkiii. Only after a digit, or after two or three letters (gr, not the
// w of wii nor the hawa of hawaii); a lone v or x is a model letter (x100v).
qsizetype RomanSuffix(QStringView run)
{
    for (const char* numeral : {"viii", "vii", "iii", "ii", "iv", "vi"}) {
        const QLatin1StringView n(numeral);
        if (run.size() <= n.size() || !run.endsWith(n))
            continue;
        qsizetype rest = run.size() - n.size();
        const bool mark = run.left(rest).endsWith(u"mark");
        if (mark)
            rest -= 4;
        if (rest == 0)
            return 0;
        const QStringView head = run.left(rest);
        if (mark || IsDigit(head.back()) || (rest >= 2 && rest <= 3 && std::none_of(head.begin(), head.end(), IsDigit)))
            return run.size() - rest;
        return 0;
    }
    return 0;
}

// A Latin run with its digits: strips a variant word before its digits
// (new3ds, mini6) or after them (ps4pro, 3dsll), and sorts it into its class.
void AddModelToken(QString run, ModelTokens& model)
{
    for (const QString& variant : TheWords().variants) {
        if (run.size() > variant.size() && run.startsWith(variant) && IsDigit(run[variant.size()])) {
            model.variants.push_back(variant.toStdString());
            run.remove(0, variant.size());
        }
        if (run.size() > variant.size() && run.endsWith(variant)) {
            const QStringView rest = QStringView(run).left(run.size() - variant.size());
            if (std::any_of(rest.begin(), rest.end(), IsDigit)) {
                model.variants.push_back(variant.toStdString());
                run.chop(variant.size());
            }
        }
    }
    auto endsWithUnit = [&run](const char* unit) {
        const qsizetype n = static_cast<qsizetype>(std::strlen(unit));
        return run.size() > n && run.endsWith(QLatin1StringView(unit)) && IsDigit(run[run.size() - n - 1]);
    };
    if (endsWithUnit("gb") || endsWithUnit("tb"))
        model.capacities.push_back(run.toStdString());
    else if (endsWithUnit("mm") || endsWithUnit("cm"))
        model.sizes.push_back(run.toStdString());
    else
        model.codes.push_back(run.toStdString());
}

void SortDistinct(std::vector<std::string>& v)
{
    std::sort(v.begin(), v.end());
    v.erase(std::unique(v.begin(), v.end()), v.end());
}

// 128gb, 1tb, 50mm, 20cm.
bool IsQuantity(const QString& run)
{
    for (const char* unit : {"gb", "tb", "mm", "cm"}) {
        const QLatin1StringView u(unit);
        if (run.size() > u.size() && run.endsWith(u) && IsDigit(run[run.size() - u.size() - 1]))
            return true;
    }
    return false;
}

// Latin runs joined over the separators sellers put inside a model (WH-1000XM4,
// Ref.16610, f1.8) when what follows holds a digit, and over a blank before a
// unit (128 GB). A name followed by a blank and a number is one model
// (iPhone 12, Switch 2, HERO 9): the number alone would match any other
// name's. A number followed by a counter (1円, 2個, 1500回) names nothing.
// names: the words of Latin letters alone, what the thing is called.
ModelTokens ModelTokensOf(const QString& s, std::vector<std::string>* names = nullptr)
{
    struct Run {
        QString text;
        qsizetype begin, end;
    };
    static const std::vector<QString> units = QStrings(std::initializer_list<const char*>{"gb", "tb", "mm", "cm"});
    const Words& words = TheWords();
    std::vector<Run> runs;
    for (qsizetype i = 0; i < s.size();) {
        if (!IsLatinOrDigit(s[i])) {
            ++i;
            continue;
        }
        qsizetype j = i;
        while (j < s.size() && IsLatinOrDigit(s[j]))
            ++j;
        QString text = s.mid(i, j - i);
        const bool hasDigit = std::any_of(text.cbegin(), text.cend(), IsDigit);
        if (!runs.empty() && runs.back().end + 1 == i) {
            const QChar sep = s[i - 1];
            Run& last = runs.back();
            const bool lastDigits = std::all_of(last.text.cbegin(), last.text.cend(), IsDigit);
            if ((hasDigit && (sep == u'-' || sep == u'.' || sep == u'/' || sep == u'_'))
                || (sep == u' ' && lastDigits && Among(units, text))) {
                last.text += text;
                last.end = j;
                i = j;
                continue;
            }
        }
        // A series run onto the model stands apart: griii is gr iii.
        if (const qsizetype roman = RomanSuffix(text)) {
            runs.push_back({text.left(text.size() - roman), i, j - roman});
            QString numeral = text.right(roman);
            if (numeral.startsWith(u"mark"))
                numeral.remove(0, 4);
            runs.push_back({numeral, j - roman, j});
        } else {
            runs.push_back({std::move(text), i, j});
        }
        i = j;
    }

    auto counted = [&](const Run& run) {
        const bool digitsOnly = std::all_of(run.text.cbegin(), run.text.cend(), IsDigit);
        const QStringView after = QStringView(s).mid(run.end);
        if (digitsOnly && run.begin > 0 && s[run.begin - 1] == u' ') {
            const QStringView before = QStringView(s).left(run.begin - 1);
            if (std::any_of(words.years.begin(), words.years.end(), [&](const QString& y) { return before.endsWith(y); }))
                return true;
        }
        if (digitsOnly)
            return StartsWithAny(words.counters, after) && !StartsWithAny(words.notCounters, after);
        // 100kg, 500ml: a quantity, whatever letters stand before it.
        for (const QString& u : words.counters) {
            const qsizetype n = u.size();
            if (run.text.size() > n && run.text.endsWith(u) && IsDigit(run.text[run.text.size() - n - 1])
                && std::all_of(run.text.cbegin(), run.text.cend() - n, IsDigit))
                return true;
        }
        return false;
    };
    auto plainWord = [&](const QString& w) {
        return w.size() >= 2 && std::none_of(w.cbegin(), w.cend(), IsDigit) && !IsRoman(w) && w != u"mark"
               && !Among(words.variants, w) && !Among(words.sizeLetters, w) && !Among(units, w);
    };

    ModelTokens model;
    for (std::size_t r = 0; r < runs.size(); ++r) {
        Run run = runs[r];
        if (!std::any_of(run.text.cbegin(), run.text.cend(), IsDigit)) {
            if (IsRoman(run.text))
                model.series.push_back(run.text.toStdString());
            else if (run.text.startsWith(u"mark") && IsRoman(QStringView(run.text).mid(4)))
                model.series.push_back(run.text.mid(4).toStdString());
            else if (Among(words.variants, run.text) || Among(words.sizeLetters, run.text))
                model.variants.push_back(run.text.toStdString());
            else if (plainWord(run.text)) {
                if (names)
                    names->push_back(run.text.toStdString());
                // iPhone 12: the name and its number are one model.
                if (r + 1 < runs.size() && runs[r + 1].begin == run.end + 1 && s[run.end] == u' '
                    && IsDigit(runs[r + 1].text[0]) && !counted(runs[r + 1]) && !IsQuantity(runs[r + 1].text)) {
                    runs[r + 1].text.prepend(run.text);
                }
            }
            continue;
        }
        if (counted(run))
            continue;
        // iphone12: its name as well.
        if (names) {
            const auto digit = std::find_if(run.text.cbegin(), run.text.cend(), IsDigit);
            if (digit - run.text.cbegin() >= 2 && plainWord(run.text.left(digit - run.text.cbegin())))
                names->push_back(run.text.left(digit - run.text.cbegin()).toStdString());
        }
        AddModelToken(run.text, model);
    }
    for (auto* list : {&model.codes, &model.capacities, &model.sizes, &model.series, &model.variants})
        SortDistinct(*list);
    if (names)
        SortDistinct(*names);
    return model;
}

// The makers a title names, in their Latin form, each at the start of a word.
std::vector<std::string> MakersOf(const QString& compact)
{
    std::vector<std::string> makers;
    for (const QString& maker : TheWords().makers) {
        for (qsizetype at = compact.indexOf(maker); at >= 0; at = compact.indexOf(maker, at + 1)) {
            if (at == 0 || !IsLatinOrDigit(compact[at - 1])) {
                makers.push_back(maker.toStdString());
                break;
            }
        }
    }
    SortDistinct(makers);
    return makers;
}

TitleKind KindOf(const QString& compact)
{
    const Words& words = TheWords();
    auto counts = [&compact, &words](const Words::Kind& w) {
        const QString& word = w.word;
        for (qsizetype at = compact.indexOf(word); at >= 0; at = compact.indexOf(word, at + 1)) {
            const QStringView after = QStringView(compact).mid(at + word.size());
            const QStringView before = QStringView(compact).left(at);
            if (w.afterModel && (at == 0 || !IsLatinOrDigit(compact[at - 1])))
                continue;
            // ケース・説明書付き: the belongings listed, then the mark.
            QStringView rest = after;
            for (bool more = true; more;) {
                more = false;
                for (const QString& noun : words.belongingNouns) {
                    if (rest.startsWith(noun)) {
                        rest = rest.mid(noun.size());
                        more = true;
                        break;
                    }
                }
            }
            if (StartsWithAny(words.belongings, rest))
                continue;
            if (std::any_of(words.features.begin(), words.features.end(),
                            [&before](const QString& f) { return before.endsWith(f); }))
                continue;
            return true;
        }
        return false;
    };
    if (std::any_of(words.accessories.begin(), words.accessories.end(), counts))
        return TitleKind::Accessory;
    if (std::any_of(words.junk.begin(), words.junk.end(), counts))
        return TitleKind::Junk;
    return TitleKind::Item;
}

} // namespace

// A token matches its like with letters before it: hero9 and 9, ref16610 and
// 16610, kissx9i and x9i.
bool TokensMatch(const std::string& x, const std::string& y)
{
    if (x == y)
        return true;
    const std::string& longer = x.size() > y.size() ? x : y;
    const std::string& shorter = x.size() > y.size() ? y : x;
    if (shorter.empty() || !longer.ends_with(shorter))
        return false;
    const std::size_t prefix = longer.size() - shorter.size();
    return std::all_of(longer.begin(), longer.begin() + static_cast<std::ptrdiff_t>(prefix),
                       [](char c) { return c >= 'a' && c <= 'z'; });
}

namespace {

// Whether x holds a token that nothing in y matches.
bool HasUnmatched(const std::vector<std::string>& x, const std::vector<std::string>& y)
{
    return std::any_of(x.begin(), x.end(), [&y](const std::string& t) {
        return std::none_of(y.begin(), y.end(), [&t](const std::string& u) { return TokensMatch(t, u); });
    });
}

} // namespace

std::string TitleKey(std::string_view sjisTitle)
{
    return Compact(Fold(sjisTitle)).toStdString();
}

TitleFacts ReadTitle(std::string_view sjisTitle)
{
    const QString folded = Fold(sjisTitle);
    const QString compact = Compact(folded);
    TitleFacts facts;
    facts.key = compact.toStdString();
    facts.grams = TitleTrigrams(facts.key);
    facts.model = ModelTokensOf(folded, &facts.names);
    facts.makers = MakersOf(compact);
    facts.kind = KindOf(compact);
    return facts;
}

namespace {

// Where two titles' model tokens part them, if they do: one rule for
// ModelsAgree and for the reason the window gives.
std::optional<NotTakenReason> ModelConflict(const ModelTokens& x, const ModelTokens& y)
{
    if (x.variants != y.variants || x.series != y.series)
        return NotTakenReason::Variant;
    auto conflict = [&x, &y](std::vector<std::string> ModelTokens::*list) {
        return HasUnmatched(x.*list, y.*list) && HasUnmatched(y.*list, x.*list);
    };
    if (conflict(&ModelTokens::capacities))
        return NotTakenReason::Capacity;
    if (conflict(&ModelTokens::sizes))
        return NotTakenReason::Size;
    if (x.codes.empty() != y.codes.empty() || conflict(&ModelTokens::codes))
        return NotTakenReason::Model;
    return std::nullopt;
}

} // namespace

bool ModelsAgree(const ModelTokens& a, const ModelTokens& b)
{
    return !ModelConflict(a, b);
}

bool Comparable(const TitleFacts& a, const TitleFacts& b)
{
    return a.kind == b.kind && ModelsAgree(a.model, b.model);
}

std::vector<std::string> CodeKeys(std::string_view code)
{
    const std::size_t digit = code.find_first_of("0123456789");
    if (digit == 0 || digit == std::string_view::npos)
        return {std::string(code)};
    return {std::string(code.substr(digit - 1)), '#' + std::string(code.substr(digit))};
}

std::vector<std::string> CodeLookups(std::string_view code)
{
    const std::size_t digit = code.find_first_of("0123456789");
    if (digit == std::string_view::npos)
        return {std::string(code)};
    if (digit == 0)
        return {std::string(code), '#' + std::string(code)};
    return {std::string(code.substr(digit - 1)), std::string(code.substr(digit))};
}

namespace {

bool Intersect(const std::vector<std::string>& x, const std::vector<std::string>& y)
{
    for (std::size_t i = 0, j = 0; i < x.size() && j < y.size();) {
        if (x[i] == y[j])
            return true;
        x[i] < y[j] ? ++i : ++j;
    }
    return false;
}

} // namespace

bool SameSort(const TitleFacts& a, const TitleFacts& b)
{
    if (!a.makers.empty() && !b.makers.empty())
        return Intersect(a.makers, b.makers);
    return Intersect(a.names, b.names) || TrigramSimilarity(a.grams, b.grams) >= kSameSortSimilarity;
}

bool Alike(const TitleFacts& a, const TitleFacts& b, double similarity)
{
    if (!Comparable(a, b))
        return false;
    // An accessory's code names what it fits, not what it is: a box and a
    // battery for the D70 are told apart by their words.
    if (!a.model.codes.empty() && !b.model.codes.empty() && a.kind != TitleKind::Accessory)
        return SameSort(a, b);
    return similarity >= kSimilarityThreshold;
}

std::optional<NotTakenReason> WhyNotAlike(const TitleFacts& a, const TitleFacts& b, double similarity)
{
    if (Alike(a, b, similarity))
        return std::nullopt;
    if (a.kind != b.kind)
        return b.kind == TitleKind::Accessory ? NotTakenReason::Accessory
               : b.kind == TitleKind::Junk    ? NotTakenReason::Junk
                                              : NotTakenReason::Item;
    if (const std::optional<NotTakenReason> conflict = ModelConflict(a.model, b.model))
        return conflict;
    if (a.kind != TitleKind::Accessory && !SameSort(a, b))
        return NotTakenReason::Maker;
    return NotTakenReason::Dissimilar;
}

double GramWeight(std::int64_t docs, std::int64_t titles)
{
    return std::log1p(static_cast<double>(std::max<std::int64_t>(titles, kWeightFloorTitles))
                      / static_cast<double>(std::max<std::int64_t>(docs, 0) + 1));
}

std::vector<std::string> TitleTrigrams(std::string_view key)
{
    std::vector<std::string> grams;
    // Each character is one to four bytes; a trigram runs from one character
    // start to the one three further on.
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < key.size(); ++i) {
        if ((static_cast<unsigned char>(key[i]) & 0xC0) != 0x80)
            starts.push_back(i);
    }
    starts.push_back(key.size());
    const std::size_t chars = starts.size() - 1;
    if (chars == 0)
        return grams;
    if (chars < 3) {
        grams.emplace_back(key);
        return grams;
    }
    for (std::size_t i = 0; i + 3 <= chars; ++i)
        grams.emplace_back(key.substr(starts[i], starts[i + 3] - starts[i]));
    std::sort(grams.begin(), grams.end());
    grams.erase(std::unique(grams.begin(), grams.end()), grams.end());
    return grams;
}

double TrigramSimilarity(const std::vector<std::string>& a, const std::vector<double>& weightsA,
                         const std::vector<std::string>& b, const std::vector<double>& weightsB)
{
    auto weight = [](const std::vector<double>& w, std::size_t i) { return i < w.size() ? w[i] : 1.0; };
    double shared = 0, total = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        total += weight(weightsA, i);
    for (std::size_t j = 0; j < b.size(); ++j)
        total += weight(weightsB, j);
    for (std::size_t i = 0, j = 0; i < a.size() && j < b.size();) {
        if (a[i] < b[j]) {
            ++i;
        } else if (b[j] < a[i]) {
            ++j;
        } else {
            shared += weight(weightsA, i) + weight(weightsB, j);
            ++i;
            ++j;
        }
    }
    return total > 0 ? shared / total : 0;
}

double TrigramSimilarity(const std::vector<std::string>& a, const std::vector<std::string>& b)
{
    return TrigramSimilarity(a, {}, b, {});
}

double TitleSimilarity(const TitleFacts& a, const TitleFacts& b)
{
    return Comparable(a, b) ? TrigramSimilarity(a.grams, b.grams) : 0;
}

std::optional<MarketPrice> MarketFrom(const std::vector<SimilarAuction>& ranked,
                                      const std::vector<std::string>& excludedIds)
{
    MarketPrice market;
    std::vector<SimilarAuction> taken;
    for (const SimilarAuction& a : ranked) {
        if ((a.similarity < kSimilarityThreshold && !a.sameModel) || a.closingPrice <= 0)
            continue;
        if (std::find(excludedIds.begin(), excludedIds.end(), a.auctionId) != excludedIds.end()) {
            market.excluded.push_back(a);
            continue;
        }
        if (taken.size() < kMarketMaxCount)
            taken.push_back(a);
    }
    // The outlier guard: a price far from the others in log terms is another
    // thing sold under the same words, or a slip of the seller's.
    std::vector<double> logs;
    for (const SimilarAuction& a : taken)
        logs.push_back(std::log(static_cast<double>(a.closingPrice)));
    std::vector<double> sorted = logs;
    std::sort(sorted.begin(), sorted.end());
    const double middle = sorted.empty() ? 0 : SortedMedian(sorted);
    std::vector<double> deviations;
    for (double l : logs)
        deviations.push_back(std::abs(l - middle));
    std::sort(deviations.begin(), deviations.end());
    const double spread = std::max(deviations.empty() ? 0 : 1.4826 * SortedMedian(deviations), kOutlierMinSpread);
    for (std::size_t i = 0; i < taken.size(); ++i) {
        if (taken.size() >= kMarketMinCount && std::abs(logs[i] - middle) > kOutlierCut * spread)
            market.outliers.push_back(taken[i]);
        else
            market.similar.push_back(taken[i]);
    }
    if (market.similar.size() < kMarketMinCount)
        return std::nullopt;
    std::vector<std::int64_t> prices;
    for (const SimilarAuction& a : market.similar)
        prices.push_back(a.closingPrice);
    std::sort(prices.begin(), prices.end());
    market.price = SortedMedian(prices);
    market.count = static_cast<int>(prices.size());
    market.low = prices.front();
    market.high = prices.back();
    return market;
}

namespace {

// How far apart, as the log of their ratio, a sale's price and this auction's
// may stand at the same share of their time before the sale counts for
// little. Anything from 0.3 to 1 does about as well in the backtest.
constexpr double kCourseSpread = 0.5;

std::vector<std::int64_t> ClosingPrices(const MarketForecastInput& in)
{
    return in.closingPrices.empty() ? std::vector<std::int64_t>{in.marketPrice} : in.closingPrices;
}

// A sale that stood near this auction's current price at the same share of
// its time ran the course this one runs and tells more: one that stood at
// twice or half of it counts about 0.4 as much.
double CourseWeight(const MarketForecastInput& in, std::size_t i)
{
    const std::int64_t then = i < in.pricesAtShare.size() ? in.pricesAtShare[i] : 0;
    if (then <= 0 || in.currentPrice <= 0)
        return 1;
    const double apart = std::log(static_cast<double>(in.currentPrice) / static_cast<double>(then)) / kCourseSpread;
    return std::exp(-std::min(apart * apart / 2, 50.0));
}

// (outcome, weight) for each similar sale, sorted by outcome, each raised to
// the current price: the weight 1 / price makes the weighted median the
// forecast least wrong relative to the price.
std::vector<std::pair<std::int64_t, double>> MarketOutcomes(const MarketForecastInput& in, double& total)
{
    const std::int64_t current = std::max<std::int64_t>(in.currentPrice, 0);
    const std::vector<std::int64_t> closing = ClosingPrices(in);
    std::vector<std::pair<std::int64_t, double>> outcomes;
    total = 0;
    for (std::size_t i = 0; i < closing.size(); ++i) {
        const std::int64_t price = std::max({closing[i], current, std::int64_t{1}});
        const double weight = CourseWeight(in, i) / static_cast<double>(price);
        outcomes.emplace_back(price, weight);
        total += weight;
    }
    std::sort(outcomes.begin(), outcomes.end());
    return outcomes;
}

double Share(const MarketForecastInput& in)
{
    return std::isfinite(in.elapsedShare) ? std::clamp(in.elapsedShare, 0.0, 1.0) : 0.0;
}

// The most the auction's own course lets it reach: its seed forecast times
// 1 + 3 × the share of the time still to run.
double OwnCourseCap(const MarketForecastInput& in)
{
    return static_cast<double>(std::max({in.seedForecast, in.currentPrice, std::int64_t{0}})) * (1.0 + 3.0 * (1.0 - Share(in)));
}

std::int64_t WeightedMedian(const std::vector<std::pair<std::int64_t, double>>& outcomes, double total)
{
    double sum = 0;
    for (const auto& [price, weight] : outcomes) {
        sum += weight;
        if (sum >= total / 2)
            return price;
    }
    return outcomes.back().first;
}

} // namespace

std::int64_t MarketAwareForecast(const MarketForecastInput& in)
{
    const std::int64_t current = std::max<std::int64_t>(in.currentPrice, 0);
    double total = 0;
    const std::vector<std::pair<std::int64_t, double>> outcomes = MarketOutcomes(in, total);
    const std::int64_t expected = WeightedMedian(outcomes, total);

    const double own = OwnCourseCap(in);
    std::int64_t forecast = expected;
    if (own < static_cast<double>(forecast))
        forecast = static_cast<std::int64_t>(own);
    forecast = RoundToStep(forecast, PriceStep(forecast));
    forecast = std::max(forecast, current);
    if (in.buyNow >= 0 && forecast > in.buyNow)
        forecast = std::max(in.buyNow, current);
    return forecast;
}

namespace {

// Each outcome's own spread: Silverman's rule over the outcomes, and never
// below kMinSmoothing (equal prices do not make a price certain). Chosen on
// the eBay replay.
constexpr double kMinSmoothing = 0.05;

double NormalCdf(double z)
{
    return 0.5 * std::erfc(-z / std::sqrt(2.0));
}

// Normalises the weights and sets the smoothing from their spread.
void Settle(PriceSpread& spread)
{
    double total = 0;
    for (const auto& [r, w] : spread.logRatios)
        total += w;
    double mean = 0, squares = 0, sumSquares = 0;
    for (auto& [r, w] : spread.logRatios) {
        w = total > 0 ? w / total : 1.0 / static_cast<double>(spread.logRatios.size());
        mean += w * r;
        sumSquares += w * w;
    }
    for (const auto& [r, w] : spread.logRatios)
        squares += w * (r - mean) * (r - mean);
    const double effective = sumSquares > 0 ? 1.0 / sumSquares : 1.0;
    spread.smoothing = std::max(kMinSmoothing, 1.06 * std::sqrt(squares) * std::pow(effective, -0.2));
}

} // namespace

double ChanceAtOrBelow(const PriceSpread& spread, std::int64_t limit)
{
    if (limit < spread.floor)
        return 0;
    if ((spread.ceiling >= 0 && limit >= spread.ceiling) || spread.logRatios.empty() || spread.forecast <= 0)
        return 1;
    if (limit <= 0)
        return 0;
    const double at = std::log(static_cast<double>(limit) / static_cast<double>(spread.forecast));
    double chance = 0;
    for (const auto& [r, w] : spread.logRatios)
        chance += w * (spread.smoothing > 0 ? NormalCdf((at - r) / spread.smoothing) : (r <= at ? 1.0 : 0.0));
    return std::clamp(chance, 0.0, 1.0);
}

std::int64_t PriceAtChance(const PriceSpread& spread, double chance)
{
    const std::int64_t floor = std::max<std::int64_t>(spread.floor, 1);
    if (spread.logRatios.empty() || spread.forecast <= 0)
        return std::max(spread.forecast, spread.floor);
    // Closing at the current price: no bid comes any more.
    if (ChanceAtOrBelow(spread, floor) >= chance)
        return spread.floor;
    double top = 0;
    for (const auto& [r, w] : spread.logRatios)
        top = std::max(top, r);
    double low = std::log(static_cast<double>(floor)), high = std::log(static_cast<double>(spread.forecast)) + top
                                                               + 8 * spread.smoothing + 0.01;
    for (int i = 0; i < 60; ++i) {
        const double middle = (low + high) / 2;
        if (ChanceAtOrBelow(spread, static_cast<std::int64_t>(std::exp(middle))) >= chance)
            high = middle;
        else
            low = middle;
    }
    std::int64_t price = static_cast<std::int64_t>(std::ceil(std::exp(high)));
    if (spread.ceiling >= 0)
        price = std::min(price, std::max(spread.ceiling, spread.floor));
    return std::max(price, spread.floor);
}

PriceBand BandOf(const PriceSpread& spread)
{
    const double tail = (1 - kBandShare) / 2;
    const std::int64_t low = PriceAtChance(spread, tail);
    const std::int64_t high = PriceAtChance(spread, 1 - tail);
    PriceBand band;
    const std::int64_t lowStep = PriceStep(low);
    band.low = std::max(low / lowStep * lowStep, spread.floor);
    band.high = CeilToStep(high, PriceStep(high));
    if (spread.ceiling >= 0)
        band.high = std::min(band.high, std::max(spread.ceiling, spread.floor));
    band.high = std::max(band.high, band.low);
    return band;
}

PriceSpread MarketSpread(const MarketForecastInput& in, std::int64_t forecast)
{
    PriceSpread spread;
    spread.forecast = forecast;
    spread.floor = std::max<std::int64_t>(in.currentPrice, 0);
    spread.ceiling = in.buyNow;
    double total = 0;
    const std::vector<std::pair<std::int64_t, double>> outcomes = MarketOutcomes(in, total);
    const double expected = static_cast<double>(WeightedMedian(outcomes, total));
    // The spread is of the sales' prices, each weighed by its course alone
    // (the weight 1 / price places the forecast below their middle) and not
    // raised to the current price: what falls below it closes at it, with no
    // further bid. Where the auction's own course holds the forecast below
    // the market, the spread moves that way by the square of the share of
    // time run: early the own course says little (late bidding lifts many
    // an auction to the market), late an auction far below the market mostly
    // stays there. Chosen on the eBay replay. Where an auction's course says
    // nothing of its close (the labelled corpus's made-up courses), this
    // costs the band at half time; held fully from the start, the band held
    // a quarter of the closing prices at a quarter of the time there.
    const double cap = std::max(OwnCourseCap(in), 1.0);
    const double hold = expected > cap ? std::log(expected / cap) * Share(in) * Share(in) : 0.0;
    const double at = static_cast<double>(std::max<std::int64_t>(forecast, 1));
    const std::vector<std::int64_t> closing = ClosingPrices(in);
    for (std::size_t i = 0; i < closing.size(); ++i) {
        const double price = static_cast<double>(std::max<std::int64_t>(closing[i], 1));
        spread.logRatios.emplace_back(std::log(price / at) - hold, CourseWeight(in, i));
    }
    Settle(spread);
    return spread;
}

PriceSpread ErrorSpread(const std::vector<double>& closingOverForecast, std::int64_t forecast,
                        std::int64_t currentPrice, std::int64_t buyNow)
{
    PriceSpread spread;
    spread.forecast = forecast;
    spread.floor = std::max<std::int64_t>(currentPrice, 0);
    spread.ceiling = buyNow;
    for (double ratio : closingOverForecast) {
        if (ratio > 0 && std::isfinite(ratio))
            spread.logRatios.emplace_back(std::log(ratio), 1.0);
    }
    Settle(spread);
    return spread;
}
