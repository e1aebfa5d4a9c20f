#include "history/History.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <unordered_map>
#include <unordered_set>
#include <sqlite3.h>

#include "analysis/Forecast.h"
#include "base/PrivateFiles.h"
#include "base/Registry.h"
#include "base/SqliteDb.h"
#include "base/Text.h"
#include "history/Csv.h"

namespace {

// Another copy may be recording at the same moment; its transaction is short.
constexpr int kBusyMs = History::kDefaultBusyMs;

// 2: exclusions; title keys fold makers' katakana and Latin names alike.
// 3: model codes indexed; keys fold 5D3 as 5D Mark III and katakana model names.
constexpr std::int64_t kSchemaVersion = 3;

// Titles are in the full-text index only once their auction closed with a
// price: only those are ever searched for. title_key is TitleKey(title).
// title_grams counts the indexed titles holding each trigram: the index
// itself counts them only by reading every title that does. Its empty gram
// counts the indexed titles. title_codes holds the model codes of the indexed
// titles by their CodeKeys: a title that names its model is found by it
// however it is dressed.
const char* const kTitleCodes =
    "CREATE TABLE title_codes(key TEXT NOT NULL, code TEXT NOT NULL, auction INTEGER NOT NULL,"
    " PRIMARY KEY(key, auction, code)) WITHOUT ROWID;";
const char* const kSchema =
    "CREATE TABLE auctions("
    " id INTEGER PRIMARY KEY,"
    " auction_id BLOB NOT NULL UNIQUE, address BLOB NOT NULL, title BLOB NOT NULL, title_key TEXT NOT NULL,"
    " seller BLOB NOT NULL, start_text BLOB NOT NULL, end_text BLOB NOT NULL,"
    " start_time INTEGER, end_time INTEGER, buy_now INTEGER, bid_count_text BLOB NOT NULL,"
    " latest_price INTEGER, ended INTEGER NOT NULL, closing_price INTEGER,"
    " first_seen INTEGER NOT NULL, last_seen INTEGER NOT NULL);"
    "CREATE INDEX auctions_seen ON auctions(last_seen);"
    "CREATE INDEX auctions_closed ON auctions(title_key, end_time) WHERE closing_price IS NOT NULL;"
    "CREATE TABLE bids("
    " auction INTEGER NOT NULL, seq INTEGER NOT NULL, time INTEGER NOT NULL, price INTEGER NOT NULL,"
    " date_text BLOB NOT NULL, bidder BLOB NOT NULL, mode BLOB NOT NULL,"
    " PRIMARY KEY(auction, seq)) WITHOUT ROWID;"
    "CREATE TABLE forecasts("
    " id INTEGER PRIMARY KEY, auction INTEGER NOT NULL, time INTEGER NOT NULL, tendency INTEGER NOT NULL,"
    " forecast INTEGER, confidence INTEGER, latest_price INTEGER, elapsed REAL,"
    " market_price INTEGER, market_forecast INTEGER);"
    "CREATE INDEX forecasts_auction ON forecasts(auction, time);"
    "CREATE VIRTUAL TABLE titles USING fts5(key, tokenize = 'trigram', detail = none);"
    "CREATE TABLE title_grams(gram TEXT PRIMARY KEY, docs INTEGER NOT NULL) WITHOUT ROWID;"
    "CREATE TABLE exclusions(auction_id BLOB NOT NULL, comparable_id BLOB NOT NULL,"
    " PRIMARY KEY(auction_id, comparable_id)) WITHOUT ROWID;";

// Candidates the full-text index hands over for the exact comparison.
constexpr int kCandidates = 200;
// Sales of the same model code read at most, the latest first.
constexpr std::size_t kCodeCandidates = 400;

std::int64_t UserVersion(const SqliteDb& db)
{
    SqliteStatement q(db, "PRAGMA user_version");
    return q.Step() == SQLITE_ROW ? q.ColumnInt64(0) : -1;
}

std::optional<std::int64_t> OptionalInt(const SqliteStatement& q, int column)
{
    if (q.ColumnIsNull(column))
        return std::nullopt;
    return q.ColumnInt64(column);
}

// NULL unless has. (Not an optional: g++ 12 then warns falsely of an
// uninitialised value.)
SqliteStatement& BindIf(SqliteStatement& q, int index, bool has, std::int64_t value)
{
    return has ? q.Bind(index, value) : q.BindNull(index);
}

} // namespace

double ElapsedShare(const BidLog& log, const Prediction& prediction, std::time_t now)
{
    if (prediction.ended || log.Count() == 0)
        return 1;
    const double start = log[log.Count() - 1].time;
    const double total = static_cast<double>(prediction.endTime) - start;
    if (total <= 0)
        return 1;
    return std::clamp((static_cast<double>(now) - start) / total, 0.0, 1.0);
}

namespace {

// The auctions whose titles may be kSimilarityThreshold similar to the key,
// the likeliest first. Sharing trigrams of weight S out of the key's W, a
// title of weight M >= S is 2S / (W + M) similar, so it shares at least
// S = W·t / (2 − t) (a quarter at 0.4): it holds one of the rarest trigrams
// whose weights add up to more than W − that. Common words ("送料無料",
// "美品") weigh little and are left to the comparison, which spares reading
// half the history; the titles whose shared trigrams weigh most come first.
// Counting them here is much cheaper than the index's own ranking.
std::vector<std::int64_t> Candidates(const SqliteDb& db, std::string_view key, const std::vector<std::string>& grams,
                                     const std::vector<std::int64_t>& docs, const std::vector<double>& weights,
                                     std::size_t limit)
{
    // The index has no trigram of a shorter title.
    if (grams.empty() || QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size())).size() < 3)
        return {};

    std::vector<std::size_t> rarest(grams.size());
    for (std::size_t i = 0; i < grams.size(); ++i)
        rarest[i] = i;
    std::sort(rarest.begin(), rarest.end(), [&docs](std::size_t x, std::size_t y) { return docs[x] < docs[y]; });
    double total = 0;
    for (double w : weights)
        total += w;
    const double needed = total * kSimilarityThreshold / (2 - kSimilarityThreshold);

    std::unordered_map<std::int64_t, double> shared;
    SqliteStatement postings(db, "SELECT rowid FROM titles WHERE titles MATCH ?1");
    double left = total;
    for (std::size_t i : rarest) {
        if (left < needed - 1e-9)
            break;
        left -= weights[i];
        if (docs[i] == 0)
            continue;
        postings.Reset();
        // The keys hold letters and digits only: no quote to escape.
        postings.BindText(1, '"' + grams[i] + '"');
        while (postings.Step() == SQLITE_ROW)
            shared[postings.ColumnInt64(0)] += weights[i];
    }
    std::vector<std::pair<double, std::int64_t>> ranked;
    ranked.reserve(shared.size());
    for (const auto& [id, weight] : shared)
        ranked.emplace_back(weight, id);
    const std::size_t keep = std::min(limit, ranked.size());
    // Among equals the later recorded, which mostly ended later.
    std::partial_sort(ranked.begin(), ranked.begin() + static_cast<std::ptrdiff_t>(keep), ranked.end(),
                      [](const auto& x, const auto& y) { return x > y; });
    std::vector<std::int64_t> ids;
    for (std::size_t i = 0; i < keep; ++i)
        ids.push_back(ranked[i].second);
    return ids;
}

// The latest indexed auctions whose titles hold a code matching one of
// codes, at most limit of them.
std::vector<std::int64_t> SameCode(const SqliteDb& db, const std::vector<std::string>& codes, std::size_t limit)
{
    std::vector<std::int64_t> ids;
    if (codes.empty())
        return ids;
    SqliteStatement q(db, "SELECT code, auction FROM title_codes WHERE key = ?1");
    for (const std::string& code : codes) {
        for (const std::string& key : CodeLookups(code)) {
            q.Reset();
            q.BindText(1, key);
            while (q.Step() == SQLITE_ROW) {
                if (TokensMatch(std::string(q.ColumnBytes(0)), code))
                    ids.push_back(q.ColumnInt64(1));
            }
        }
    }
    std::sort(ids.begin(), ids.end(), std::greater<>());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    if (ids.size() > limit)
        ids.resize(limit);
    return ids;
}

// Takes the title of an auction into the index, or out of it.
bool IndexTitle(const SqliteDb& db, std::int64_t id, std::string_view key, bool in)
{
    SqliteStatement change(db, in ? "INSERT INTO titles(rowid, key) VALUES(?1, ?2)" : "DELETE FROM titles WHERE rowid = ?1");
    change.Bind(1, id);
    if (in)
        change.BindText(2, key);
    if (change.Step() != SQLITE_DONE)
        return false;
    SqliteStatement count(db, in ? "INSERT INTO title_grams(gram, docs) VALUES(?1, 1)"
                                   " ON CONFLICT(gram) DO UPDATE SET docs = docs + 1"
                                 : "UPDATE title_grams SET docs = docs - 1 WHERE gram = ?1");
    std::vector<std::string> grams = TitleTrigrams(key);
    grams.emplace_back(); // the count of titles
    for (const std::string& gram : grams) {
        count.Reset();
        count.BindText(1, gram);
        if (count.Step() != SQLITE_DONE)
            return false;
    }
    return true;
}

// Takes the model codes of an auction's title into the index, or out of it.
bool IndexCodes(const SqliteDb& db, std::int64_t id, const std::vector<std::string>& codes, bool in)
{
    if (!in) {
        SqliteStatement drop(db, "DELETE FROM title_codes WHERE auction = ?1");
        drop.Bind(1, id);
        return drop.Step() == SQLITE_DONE;
    }
    SqliteStatement add(db, "INSERT OR IGNORE INTO title_codes(key, code, auction) VALUES(?1, ?2, ?3)");
    for (const std::string& code : codes) {
        for (const std::string& key : CodeKeys(code)) {
            add.Reset();
            add.BindText(1, key).BindText(2, code).Bind(3, id);
            if (add.Step() != SQLITE_DONE)
                return false;
        }
    }
    return true;
}

// An older history keeps its auctions: their titles are keyed anew, as the
// folding has learnt words since, and indexed again with their model codes.
bool Reindex(SqliteDb& db, std::int64_t version)
{
    if (version < 2
        && !db.Exec("CREATE TABLE exclusions(auction_id BLOB NOT NULL, comparable_id BLOB NOT NULL,"
                    " PRIMARY KEY(auction_id, comparable_id)) WITHOUT ROWID;"))
        return false;
    if (!db.Exec(kTitleCodes) || !db.Exec("DELETE FROM titles; DELETE FROM title_grams;"))
        return false;
    struct Row {
        std::int64_t id;
        std::string title;
        bool sold;
    };
    std::vector<Row> rows;
    {
        SqliteStatement q(db, "SELECT id, title, closing_price IS NOT NULL FROM auctions");
        while (q.Step() == SQLITE_ROW)
            rows.push_back({q.ColumnInt64(0), std::string(q.ColumnBytes(1)), q.ColumnInt64(2) != 0});
    }
    SqliteStatement rekey(db, "UPDATE auctions SET title_key = ?2 WHERE id = ?1");
    for (const Row& row : rows) {
        const TitleFacts facts = ReadTitle(row.title);
        rekey.Reset();
        rekey.Bind(1, row.id).BindText(2, facts.key);
        if (rekey.Step() != SQLITE_DONE)
            return false;
        if (row.sold && (!IndexTitle(db, row.id, facts.key, true) || !IndexCodes(db, row.id, facts.model.codes, true)))
            return false;
    }
    return true;
}

bool MakeSchema(SqliteDb& db)
{
    // Two copies starting at once: the second finds the schema made.
    SqliteTransaction tx(db, SqliteTransaction::Immediate);
    if (!tx.Active())
        return false;
    const std::int64_t version = UserVersion(db);
    if (version == kSchemaVersion)
        return true;
    const std::string setVersion = "PRAGMA user_version = " + std::to_string(kSchemaVersion);
    if (version > 0 && version < kSchemaVersion)
        return Reindex(db, version) && db.Exec(setVersion.c_str()) && tx.Commit();
    // A newer program's history is left as it is.
    if (version != 0)
        return false;
    return db.Exec(kSchema) && db.Exec(kTitleCodes) && db.Exec(setVersion.c_str()) && tx.Commit();
}

// How far a forecast was off, as a share of the closing price.
std::optional<double> RelativeError(std::optional<std::int64_t> forecast, std::optional<std::int64_t> closing)
{
    if (!forecast || !closing || *closing <= 0)
        return std::nullopt;
    return std::abs(static_cast<double>(*forecast - *closing)) / static_cast<double>(*closing);
}

void AddError(std::vector<double>& errors, std::optional<std::int64_t> forecast, std::int64_t closing)
{
    if (const std::optional<double> error = RelativeError(forecast, closing))
        errors.push_back(*error);
}

AccuracyCell Summarise(std::vector<double> errors)
{
    AccuracyCell cell;
    cell.count = static_cast<int>(errors.size());
    if (errors.empty())
        return cell;
    double sum = 0;
    for (double e : errors)
        sum += e;
    cell.mean = sum / static_cast<double>(errors.size());
    std::sort(errors.begin(), errors.end());
    cell.median = SortedMedian(errors);
    return cell;
}

AnalysisRunListener gListener;

} // namespace

struct History::Impl {
    SqliteDb db;                         // declared first: closed after the batch ends
    std::optional<SqliteTransaction> batch;
    bool batchOk = false;                // no record inside the batch failed
};

std::string HistoryPath()
{
    const std::string registry = RegistryPath();
    if (registry.empty())
        return {};
    return (std::filesystem::path(registry).parent_path() / "history.db").string();
}

History::History() : impl_(std::make_unique<Impl>()) {}

History::~History() = default;

bool History::Open(const std::string& path, int busyMs)
{
    SqliteDb& db = impl_->db;
    db.Close();
    if (path.empty())
        return false;
    CreatePrivateFolders(std::filesystem::path(path).parent_path());
    if (!db.OpenShared(path, busyMs))
        return false;
    if (UserVersion(db) != kSchemaVersion && !MakeSchema(db)) {
        db.Close();
        return false;
    }
    return true;
}

bool History::OpenToRead(const std::string& path)
{
    SqliteDb& db = impl_->db;
    db.Close();
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(path, ec))
        return false;
    if (!db.Open(path, false, kBusyMs) || db.IsDamaged()) {
        db.Close();
        return false;
    }
    const std::int64_t version = UserVersion(db);
    if (version == kSchemaVersion)
        return true;
    db.Close();
    // An older history is upgraded in place, keeping its data: a reader
    // alone (mirelo-forecast without --record) would otherwise never see its
    // market price again.
    return version > 0 && version < kSchemaVersion && Open(path);
}

bool History::IsOpen() const
{
    return impl_->db.Handle() != nullptr;
}

bool History::Record(const AuctionRecord& record, const BidLog& log, const std::optional<Prediction>& prediction,
                     int keiko, std::string_view address, std::time_t now)
{
    return Record(ReadAuction(record, log, now), log, prediction, keiko, address, now);
}

bool History::Record(const TypedAuction& record, const BidLog& log, const std::optional<Prediction>& prediction,
                     int keiko, std::string_view address, std::time_t now)
{
    if (!IsOpen() || record.auctionId.empty())
        return false;
    SqliteDb& db = impl_->db;

    const bool ended = prediction && prediction->ended;
    // An auction that ended without a bid did not sell: no closing price.
    const bool sold = ended && log.Count() >= 2;
    const std::int64_t closing = sold ? log[0].price : 0;
    const std::int64_t buyNow = record.buyNow;
    const TitleFacts facts = ReadTitle(record.title);
    const std::string& key = facts.key;
    // Read before the write transaction, which stays short.
    const std::optional<MarketOutlook> outlook =
        prediction && !ended ? Outlook(record, log, prediction, now) : std::nullopt;

    std::optional<SqliteTransaction> own;
    if (impl_->batch) {
        if (!impl_->batchOk)
            return false;
    } else {
        own.emplace(db, SqliteTransaction::Immediate);
        if (!own->Active())
            return false;
    }
    // Inside a batch a failure spoils the whole batch.
    bool stored = false;
    struct Spoil {
        History::Impl& impl;
        bool& stored;
        ~Spoil()
        {
            if (impl.batch && !stored)
                impl.batchOk = false;
        }
    } spoil{*impl_, stored};

    // The title as the index holds it, to take out.
    std::optional<std::string> indexedKey;
    {
        SqliteStatement q(db, "SELECT t.key FROM auctions a JOIN titles t ON t.rowid = a.id WHERE a.auction_id = ?1");
        q.Bind(1, record.auctionId);
        if (q.Step() == SQLITE_ROW)
            indexedKey = std::string(q.ColumnBytes(0));
    }

    SqliteStatement upsert(
        db, "INSERT INTO auctions(auction_id, address, title, title_key, seller, start_text, end_text, start_time,"
            " end_time, buy_now, bid_count_text, latest_price, ended, closing_price, first_seen, last_seen)"
            " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?15)"
            " ON CONFLICT(auction_id) DO UPDATE SET address = excluded.address, title = excluded.title,"
            " title_key = excluded.title_key, seller = excluded.seller, start_text = excluded.start_text,"
            " end_text = excluded.end_text, start_time = excluded.start_time, end_time = excluded.end_time,"
            " buy_now = excluded.buy_now, bid_count_text = excluded.bid_count_text,"
            " latest_price = excluded.latest_price, ended = excluded.ended,"
            " closing_price = excluded.closing_price, last_seen = excluded.last_seen");
    upsert.Bind(1, record.auctionId).Bind(2, address).Bind(3, record.title).BindText(4, key).Bind(5, record.sellerId);
    upsert.Bind(6, record.startText).Bind(7, record.endText);
    BindIf(upsert, 8, record.startTime.has_value(), record.startTime.value_or(0));
    BindIf(upsert, 9, prediction.has_value(), prediction ? prediction->endTime : 0);
    BindIf(upsert, 10, buyNow >= 0, buyNow);
    upsert.Bind(11, record.bidCountText).Bind(12, record.LatestPrice()).Bind(13, std::int64_t{ended});
    BindIf(upsert, 14, sold, closing).Bind(15, std::int64_t{now});
    if (upsert.Step() != SQLITE_DONE)
        return false;

    std::int64_t id = 0;
    {
        SqliteStatement q(db, "SELECT id FROM auctions WHERE auction_id = ?1");
        q.Bind(1, record.auctionId);
        if (q.Step() != SQLITE_ROW)
            return false;
        id = q.ColumnInt64(0);
    }

    SqliteStatement dropBids(db, "DELETE FROM bids WHERE auction = ?1");
    dropBids.Bind(1, id);
    if (dropBids.Step() != SQLITE_DONE)
        return false;
    SqliteStatement addBid(db, "INSERT INTO bids(auction, seq, time, price, date_text, bidder, mode)"
                               " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    for (int i = 0; i < log.Count(); ++i) {
        const BidRecord& bid = log[i];
        addBid.Reset();
        addBid.Bind(1, id).Bind(2, std::int64_t{i}).Bind(3, std::int64_t{bid.time}).Bind(4, std::int64_t{bid.price});
        addBid.Bind(5, bid.dateText).Bind(6, bid.bidderId).Bind(7, bid.mode);
        if (addBid.Step() != SQLITE_DONE)
            return false;
    }

    if (prediction) {
        SqliteStatement snap(db, "INSERT INTO forecasts(auction, time, tendency, forecast, confidence, latest_price,"
                                 " elapsed, market_price, market_forecast) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
        snap.Bind(1, id).Bind(2, std::int64_t{now}).Bind(3, std::int64_t{keiko});
        BindIf(snap, 4, !ended, prediction->forecast);
        snap.Bind(5, std::int64_t{prediction->confidence}).Bind(6, record.LatestPrice());
        snap.Bind(7, ElapsedShare(log, *prediction, now));
        BindIf(snap, 8, outlook.has_value(), outlook ? outlook->market.price : 0);
        BindIf(snap, 9, outlook && outlook->forecast, outlook ? outlook->forecast.value_or(0) : 0);
        if (snap.Step() != SQLITE_DONE)
            return false;
    }

    if (indexedKey && (!IndexTitle(db, id, *indexedKey, false) || !IndexCodes(db, id, {}, false)))
        return false;
    if (sold && (!IndexTitle(db, id, key, true) || !IndexCodes(db, id, facts.model.codes, true)))
        return false;
    stored = !own || own->Commit();
    return stored;
}

std::vector<SimilarAuction> History::Similar(std::string_view title, std::string_view excludeAuctionId,
                                             std::size_t limit) const
{
    std::vector<SimilarAuction> found;
    if (!IsOpen() || limit == 0)
        return found;
    const SqliteDb& db = impl_->db;
    const TitleFacts query = ReadTitle(title);
    if (query.key.empty())
        return found;

    // Each trigram's weight, read once per search.
    std::unordered_map<std::string, double> weights;
    SqliteStatement count(db, "SELECT docs FROM title_grams WHERE gram = ?1");
    auto docsOf = [&count](const std::string& gram) {
        count.Reset();
        count.BindText(1, gram);
        return count.Step() == SQLITE_ROW ? count.ColumnInt64(0) : std::int64_t{0};
    };
    const std::int64_t titles = docsOf(std::string());
    auto weightsOf = [&](const std::vector<std::string>& grams) {
        std::vector<double> w;
        w.reserve(grams.size());
        for (const std::string& gram : grams) {
            auto [it, fresh] = weights.try_emplace(gram, 0.0);
            if (fresh)
                it->second = GramWeight(docsOf(gram), titles);
            w.push_back(it->second);
        }
        return w;
    };
    std::vector<std::int64_t> queryDocs;
    for (const std::string& gram : query.grams) {
        queryDocs.push_back(docsOf(gram));
        weights.emplace(gram, GramWeight(queryDocs.back(), titles));
    }
    const std::vector<double> queryWeights = weightsOf(query.grams);

    std::unordered_set<std::int64_t> seen;
    auto read = [&](SqliteStatement& q, bool exact) {
        while (q.Step() == SQLITE_ROW) {
            if (!seen.insert(q.ColumnInt64(6)).second)
                continue;
            SimilarAuction a;
            a.auctionId = q.ColumnBytes(0);
            if (a.auctionId == excludeAuctionId)
                continue;
            const std::string_view candidateKey = q.ColumnBytes(5);
            a.title = q.ColumnBytes(1);
            if (!exact) {
                const std::vector<std::string> grams = TitleTrigrams(candidateKey);
                a.similarity = TrigramSimilarity(query.grams, queryWeights, grams, weightsOf(grams));
                // The trigrams first where they decide: reading a title's model costs more.
                if ((query.model.codes.empty() || query.kind == TitleKind::Accessory)
                    && a.similarity < kSimilarityThreshold)
                    continue;
                if (!Alike(query, ReadTitle(a.title), a.similarity))
                    continue;
                a.sameModel = !query.model.codes.empty() && query.kind != TitleKind::Accessory;
            } else {
                a.similarity = 1.0;
                a.sameModel = !query.model.codes.empty() && query.kind != TitleKind::Accessory;
            }
            a.address = q.ColumnBytes(2);
            a.closingPrice = q.ColumnInt64(3);
            a.endTime = q.ColumnInt64(4);
            found.push_back(std::move(a));
        }
    };
    // Titles that fold alike rank by their end, which the candidates' count
    // knows nothing of: they are taken apart, all of them in order.
    SqliteStatement exact(db, "SELECT auction_id, title, address, closing_price, end_time, title_key, id FROM auctions"
                              " WHERE title_key = ?1 AND closing_price IS NOT NULL"
                              " ORDER BY end_time DESC, id DESC LIMIT ?2");
    exact.BindText(1, query.key).Bind(2, static_cast<std::int64_t>(limit) + 1);
    read(exact, true);
    SqliteStatement row(db, "SELECT auction_id, title, address, closing_price, end_time, title_key, id FROM auctions"
                            " WHERE id = ?1");
    auto readId = [&](std::int64_t id) {
        if (seen.count(id))
            return;
        row.Reset();
        row.Bind(1, id);
        read(row, false);
    };
    // A title that names its model is alike only with titles sharing a code:
    // every sale of the model, however dressed, and similarity only orders
    // them. Other titles are found by their trigrams.
    if (!query.model.codes.empty()) {
        for (std::int64_t id : SameCode(db, query.model.codes, kCodeCandidates))
            readId(id);
    } else if (found.size() < limit) {
        for (std::int64_t id : Candidates(db, query.key, query.grams, queryDocs, queryWeights, kCandidates))
            readId(id);
    }
    std::stable_sort(found.begin(), found.end(), [](const SimilarAuction& x, const SimilarAuction& y) {
        return x.similarity != y.similarity ? x.similarity > y.similarity : x.endTime > y.endTime;
    });
    if (found.size() > limit)
        found.resize(limit);
    return found;
}

std::optional<MarketPrice> History::Market(std::string_view title, std::string_view excludeAuctionId) const
{
    const std::vector<std::string> excluded = Excluded(excludeAuctionId);
    return MarketFrom(Similar(title, excludeAuctionId, kMarketMaxCount + excluded.size()), excluded);
}

std::vector<NotTaken> History::NotTakenSales(std::string_view title, std::string_view excludeAuctionId,
                                             const std::optional<MarketPrice>& market) const
{
    std::vector<NotTaken> list;
    if (!IsOpen())
        return list;
    const TitleFacts query = ReadTitle(title);
    std::unordered_set<std::string> listed;
    if (market) {
        for (const SimilarAuction& a : market->similar)
            listed.insert(a.auctionId);
        for (const SimilarAuction& a : market->outliers) {
            list.push_back({a, NotTakenReason::Outlier});
            listed.insert(a.auctionId);
        }
        for (const SimilarAuction& a : market->excluded) {
            list.push_back({a, NotTakenReason::Excluded});
            listed.insert(a.auctionId);
        }
    }
    const std::vector<std::string> excluded = Excluded(excludeAuctionId);
    if (!market && !excluded.empty()) {
        // Too few left for a market: the user's exclusions stay listed, to bring back.
        for (SimilarAuction& a : Similar(title, excludeAuctionId, kMarketMaxCount + excluded.size())) {
            if (std::find(excluded.begin(), excluded.end(), a.auctionId) != excluded.end()) {
                listed.insert(a.auctionId);
                list.push_back({std::move(a), NotTakenReason::Excluded});
            }
        }
    }
    SqliteStatement row(impl_->db, "SELECT auction_id, title, address, closing_price, end_time FROM auctions WHERE id = ?1");
    std::size_t others = 0;
    for (std::int64_t id : SameCode(impl_->db, query.model.codes, kCodeCandidates)) {
        row.Reset();
        row.Bind(1, id);
        if (row.Step() != SQLITE_ROW)
            continue;
        SimilarAuction a;
        a.auctionId = row.ColumnBytes(0);
        if (a.auctionId == excludeAuctionId || listed.count(a.auctionId))
            continue;
        a.title = row.ColumnBytes(1);
        a.address = row.ColumnBytes(2);
        a.closingPrice = row.ColumnInt64(3);
        a.endTime = row.ColumnInt64(4);
        const TitleFacts facts = ReadTitle(a.title);
        a.similarity = TrigramSimilarity(query.grams, facts.grams);
        const std::optional<NotTakenReason> why = WhyNotAlike(query, facts, a.similarity);
        if (why && others++ < 2 * kMarketMaxCount)
            list.push_back({std::move(a), *why});
    }
    return list;
}

bool History::SetExcluded(std::string_view auctionId, std::string_view comparableId, bool excluded)
{
    if (!IsOpen() || auctionId.empty() || comparableId.empty())
        return false;
    SqliteStatement change(impl_->db, excluded ? "INSERT OR IGNORE INTO exclusions(auction_id, comparable_id) VALUES(?1, ?2)"
                                               : "DELETE FROM exclusions WHERE auction_id = ?1 AND comparable_id = ?2");
    change.Bind(1, auctionId).Bind(2, comparableId);
    return change.Step() == SQLITE_DONE;
}

std::vector<std::string> History::Excluded(std::string_view auctionId) const
{
    std::vector<std::string> ids;
    if (!IsOpen() || auctionId.empty())
        return ids;
    SqliteStatement q(impl_->db, "SELECT comparable_id FROM exclusions WHERE auction_id = ?1");
    q.Bind(1, auctionId);
    while (q.Step() == SQLITE_ROW)
        ids.emplace_back(q.ColumnBytes(0));
    return ids;
}

std::optional<MarketOutlook> History::Outlook(const AuctionRecord& record, const BidLog& log,
                                              const std::optional<Prediction>& prediction, std::time_t now) const
{
    return Outlook(ReadAuction(record, log, now), log, prediction, now);
}

std::optional<MarketOutlook> History::Outlook(const TypedAuction& record, const BidLog& log,
                                              const std::optional<Prediction>& prediction, std::time_t now) const
{
    std::optional<MarketPrice> market = Market(record.title, record.auctionId);
    if (!market)
        return std::nullopt;
    MarketOutlook outlook;
    if (prediction && !prediction->ended && log.Count() > 0) {
        MarketForecastInput in;
        in.seedForecast = prediction->forecast;
        in.marketPrice = market->price;
        in.currentPrice = log[0].price;
        in.buyNow = record.buyNow;
        in.elapsedShare = ElapsedShare(log, *prediction, now);
        // Each bid raises the price, so the highest by that time is the price
        // then, even from a log cut to its latest rows.
        SqliteStatement then(impl_->db,
                             "SELECT MAX(b.price) FROM auctions a JOIN bids b ON b.auction = a.id"
                             " WHERE a.auction_id = ?1 AND b.time <= a.start_time + ?2 * (a.end_time - a.start_time)");
        for (const SimilarAuction& a : market->similar) {
            in.closingPrices.push_back(a.closingPrice);
            then.Reset();
            then.Bind(1, a.auctionId).Bind(2, in.elapsedShare);
            in.pricesAtShare.push_back(then.Step() == SQLITE_ROW ? then.ColumnInt64(0) : 0);
        }
        outlook.forecast = MarketAwareForecast(in);
        outlook.spread = MarketSpread(in, *outlook.forecast);
    }
    outlook.market = std::move(*market);
    return outlook;
}

std::vector<double> History::ForecastRatios(int keiko, double share, std::size_t limit) const
{
    std::vector<double> ratios;
    if (!IsOpen())
        return ratios;
    // The bare columns come from the row of the smallest distance.
    SqliteStatement q(impl_->db, "SELECT a.closing_price, f.forecast, MIN(abs(f.elapsed - ?2)) AS apart"
                                 " FROM forecasts f JOIN auctions a ON a.id = f.auction"
                                 " WHERE a.closing_price IS NOT NULL AND f.forecast > 0 AND f.tendency = ?1"
                                 " AND abs(f.elapsed - ?2) <= ?3"
                                 " GROUP BY a.id ORDER BY a.last_seen DESC, a.id DESC LIMIT ?4");
    q.Bind(1, std::int64_t{keiko}).Bind(2, share).Bind(3, kShareWindow);
    q.Bind(4, static_cast<std::int64_t>(std::min<std::size_t>(limit, INT64_MAX)));
    while (q.Step() == SQLITE_ROW)
        ratios.push_back(static_cast<double>(q.ColumnInt64(0)) / static_cast<double>(q.ColumnInt64(1)));
    return ratios;
}

std::optional<ForecastSpread> SpreadOf(const History& history, const std::optional<MarketOutlook>& outlook,
                                       const TypedAuction& auction, const BidLog& log,
                                       const std::optional<Prediction>& prediction, int keiko, std::time_t now)
{
    ForecastSpread found;
    if (outlook && outlook->spread) {
        found.basis = ForecastSpread::Basis::Market;
        found.count = outlook->market.count;
        found.spread = *outlook->spread;
    } else {
        if (!prediction || prediction->ended || log.Count() == 0)
            return std::nullopt;
        const std::vector<double> ratios =
            history.ForecastRatios(keiko, ElapsedShare(log, *prediction, now));
        if (ratios.size() < kErrorMinCount)
            return std::nullopt;
        found.basis = ForecastSpread::Basis::OwnErrors;
        found.count = static_cast<int>(ratios.size());
        found.spread = ErrorSpread(ratios, prediction->forecast, log[0].price, auction.buyNow);
    }
    found.band = BandOf(found.spread);
    return found;
}

std::vector<std::array<std::optional<std::int64_t>, 3>> History::LastForecasts(
    const std::vector<RecordedAuction>& auctions) const
{
    std::vector<std::array<std::optional<std::int64_t>, 3>> out(auctions.size());
    if (!IsOpen())
        return out;
    SqliteStatement q(impl_->db, "SELECT f.forecast FROM forecasts f JOIN auctions a ON a.id = f.auction"
                                 " WHERE a.auction_id = ?1 AND f.forecast IS NOT NULL"
                                 " AND (CASE WHEN f.tendency IN (0, 1) THEN f.tendency ELSE 2 END) = ?2"
                                 " ORDER BY f.time DESC, f.id DESC LIMIT 1");
    for (std::size_t i = 0; i < auctions.size(); ++i) {
        for (std::int64_t tendency = 0; tendency < 3; ++tendency) {
            q.Reset();
            q.Bind(1, auctions[i].auctionId).Bind(2, tendency);
            if (q.Step() == SQLITE_ROW)
                out[i][tendency] = q.ColumnInt64(0);
        }
    }
    return out;
}

std::string HistoryCsv(const History& history)
{
    auto text = [](std::string_view utf8) { return CsvField(utf8); };
    auto number = [](std::optional<std::int64_t> value) {
        return value ? CsvField(std::to_string(*value), false) : std::string();
    };
    // Percent of the closing price, as the accuracy table shows it.
    auto error = [](std::optional<std::int64_t> forecast, std::optional<std::int64_t> closing) {
        const std::optional<double> e = RelativeError(forecast, closing);
        return e ? CsvField(Format("%.1f", *e * 100), false) : std::string();
    };
    std::string csv(kCsvBom);
    csv += CsvRow({text("オークションID"), text("商品"), text("終了日時"), text("状態"), text("落札価格"),
                   text("予測 控えめ"), text("予測 無難"), text("予測 辛め"), text("相場を加味した予測"),
                   text("誤差% 控えめ"), text("誤差% 無難"), text("誤差% 辛め"), text("誤差% 相場を加味")});
    const std::vector<RecordedAuction> auctions = history.Auctions(std::numeric_limits<std::size_t>::max());
    const auto forecasts = history.LastForecasts(auctions);
    for (std::size_t i = 0; i < auctions.size(); ++i) {
        const RecordedAuction& a = auctions[i];
        const std::string end = a.endTime > 0 ? QDateTime::fromSecsSinceEpoch(a.endTime)
                                                    .toString(QStringLiteral("yyyy-MM-dd HH:mm"))
                                                    .toStdString()
                                              : Utf8FromSjis(a.endText);
        const char* state = !a.ended ? "開催中" : a.closingPrice ? "落札" : "入札なしで終了";
        std::vector<std::string> row{text(Utf8FromSjis(a.auctionId)), text(Utf8FromSjis(a.title)), text(end),
                                     text(state), number(a.closingPrice)};
        for (const auto& f : forecasts[i])
            row.push_back(number(f));
        row.push_back(number(a.lastMarketForecast));
        for (const auto& f : forecasts[i])
            row.push_back(error(f, a.closingPrice));
        row.push_back(error(a.lastMarketForecast, a.closingPrice));
        csv += CsvRow(row);
    }
    return csv;
}

std::string BandText(const ForecastSpread& spread, const QLocale& locale)
{
    const bool market = spread.basis == ForecastSpread::Basis::Market;
    return YenText(spread.band.low, locale).toStdString() + "〜"
           + YenText(spread.band.high, locale).toStdString() + "（"
           + Format(market ? "類似の落札 %d 件から" : "あなたの予測 %d 件の誤差から", spread.count) + "）";
}

std::string ChanceText(double chance)
{
    return Format("上限で落札できる見込み %d %%", static_cast<int>(std::lround(std::clamp(chance, 0.0, 1.0) * 100)));
}

std::optional<std::int64_t> History::ForecastNearShare(std::string_view auctionId, double share) const
{
    if (!IsOpen())
        return std::nullopt;
    SqliteStatement q(impl_->db, "SELECT f.forecast FROM forecasts f JOIN auctions a ON a.id = f.auction"
                                 " WHERE a.auction_id = ?1 AND f.forecast IS NOT NULL"
                                 " ORDER BY abs(f.elapsed - ?2), f.time LIMIT 1");
    q.Bind(1, auctionId).Bind(2, share);
    if (q.Step() != SQLITE_ROW)
        return std::nullopt;
    return q.ColumnInt64(0);
}

std::vector<RecordedAuction> History::Auctions(std::size_t limit) const
{
    std::vector<RecordedAuction> list;
    if (!IsOpen())
        return list;
    SqliteStatement q(impl_->db,
                      "SELECT a.auction_id, a.address, a.title, a.end_text, a.end_time, a.ended, a.latest_price,"
                      " a.closing_price, a.last_seen,"
                      " (SELECT forecast FROM forecasts f WHERE f.auction = a.id AND f.forecast IS NOT NULL"
                      "  ORDER BY f.time DESC, f.id DESC LIMIT 1),"
                      " (SELECT market_forecast FROM forecasts f WHERE f.auction = a.id AND f.forecast IS NOT NULL"
                      "  ORDER BY f.time DESC, f.id DESC LIMIT 1)"
                      " FROM auctions a ORDER BY a.last_seen DESC, a.id DESC LIMIT ?1");
    q.Bind(1, static_cast<std::int64_t>(std::min<std::size_t>(limit, INT64_MAX)));
    while (q.Step() == SQLITE_ROW) {
        RecordedAuction a;
        a.auctionId = q.ColumnBytes(0);
        a.address = q.ColumnBytes(1);
        a.title = q.ColumnBytes(2);
        a.endText = q.ColumnBytes(3);
        a.endTime = q.ColumnInt64(4);
        a.ended = q.ColumnInt64(5) != 0;
        a.latestPrice = q.ColumnInt64(6);
        a.closingPrice = OptionalInt(q, 7);
        a.lastSeen = q.ColumnInt64(8);
        a.lastForecast = OptionalInt(q, 9);
        a.lastMarketForecast = OptionalInt(q, 10);
        a.lastForecastError = RelativeError(a.lastForecast, a.closingPrice);
        a.lastMarketForecastError = RelativeError(a.lastMarketForecast, a.closingPrice);
        list.push_back(std::move(a));
    }
    return list;
}

Accuracy History::ForecastAccuracy() const
{
    std::vector<double> seed[3][4];
    std::vector<double> market[4];
    if (IsOpen()) {
        SqliteStatement q(impl_->db, "SELECT f.tendency, f.elapsed, f.forecast, f.market_forecast, a.closing_price"
                                     " FROM forecasts f JOIN auctions a ON a.id = f.auction"
                                     " WHERE a.closing_price IS NOT NULL AND f.forecast IS NOT NULL");
        while (q.Step() == SQLITE_ROW) {
            const std::int64_t keiko = q.ColumnInt64(0);
            const int tendency = keiko == 0 ? 0 : keiko == 1 ? 1 : 2;
            const int quarter = std::clamp(static_cast<int>(q.ColumnDouble(1) * 4), 0, 3);
            const std::int64_t closing = q.ColumnInt64(4);
            AddError(seed[tendency][quarter], OptionalInt(q, 2), closing);
            AddError(market[quarter], OptionalInt(q, 3), closing);
        }
    }
    Accuracy accuracy;
    for (int quarter = 0; quarter < 4; ++quarter) {
        for (int tendency = 0; tendency < 3; ++tendency)
            accuracy.seed[tendency][quarter] = Summarise(std::move(seed[tendency][quarter]));
        accuracy.market[quarter] = Summarise(std::move(market[quarter]));
    }
    return accuracy;
}

bool History::Clear()
{
    if (!IsOpen())
        return false;
    SqliteDb& db = impl_->db;
    SqliteTransaction tx(db, SqliteTransaction::Immediate);
    return tx.Active()
           && db.Exec("DELETE FROM forecasts; DELETE FROM bids; DELETE FROM titles; DELETE FROM title_grams; DELETE FROM title_codes;"
                      " DELETE FROM exclusions; DELETE FROM auctions;")
           && tx.Commit();
}

History::Batch::Batch(History& history) : history_(history)
{
    Impl& impl = *history_.impl_;
    if (!history_.IsOpen() || impl.batch)
        return;
    impl.batch.emplace(impl.db, SqliteTransaction::Immediate);
    impl.batchOk = impl.batch->Active();
    owns_ = true;
}

History::Batch::~Batch()
{
    if (owns_)
        history_.impl_->batch.reset();
}

bool History::Batch::Commit()
{
    Impl& impl = *history_.impl_;
    if (!owns_)
        return impl.batch && impl.batchOk;
    const bool stored = impl.batch && impl.batchOk && impl.batch->Commit();
    impl.batch.reset();
    owns_ = false;
    return stored;
}

bool RecordReading(History& history, const PageReading& reading, const BidLog& log, std::string_view address)
{
    return history.Record(reading.auction, log, reading.prediction, reading.keiko, address, reading.now);
}

void RecordAnalysisRun(const PageReading& reading, const AuctionRecord& record, const BidLog& log,
                       std::string_view address) noexcept
{
    try {
        History history;
        if (history.Open())
            RecordReading(history, reading, log, address);
    } catch (...) {
        // The run has shown its results; the history only misses this one.
    }
    try {
        // A copy: the listener may set another while it runs.
        const AnalysisRunListener listener = gListener;
        if (listener)
            listener(record, log, reading.now);
    } catch (...) {
    }
}

void RecordAnalysisRun(const AuctionRecord& record, const BidLog& log, std::string_view address,
                       std::time_t now) noexcept
{
    PageReading reading;
    try {
        reading.keiko = StoredTendency();
        reading.now = now;
        reading.auction = ReadAuction(record, log, now);
        reading.prediction = PredictFromAuction(reading.auction, now, reading.keiko);
    } catch (...) {
        return;
    }
    RecordAnalysisRun(reading, record, log, address);
}

void SetAnalysisRunListener(AnalysisRunListener listener)
{
    gListener = std::move(listener);
}
