// The watch board's figures with 500 auctions on a loopback service:
//  (a) the longest the event loop is held during a full sweep (the largest
//      gap between two ticks of a 1 ms timer), and the events over 0.5 ms
//      the window's thread handled in it: a long gap with none is the
//      thread waiting for a core;
//  (b) how much the process grows over an empty board;
//  (c) the CPU the board takes idle with 500 rows counting down (60 s, or
//      the seconds given as an argument).
// --history N first fills the history with N ended auctions of similar
// titles, so that each read's record and market search have work to do.
// Runs with QT_QPA_PLATFORM=offscreen in a private settings folder.
//
//   bench_board [--history N] [SECONDS]
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMetaEnum>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "base/Text.h"
#include "board/BoardModel.h"
#include "board/Kanshi12.h"
#include "history/History.h"
#include "tests/analysis/FakeService.h"
#include "tests/analysis/PageFixtures.h"

namespace {

constexpr int kAuctions = 500;
constexpr std::time_t kDay = 86400;

double Cpu()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

long RssKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return 0;
}

void Spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Kept from FakeService.h's page layout: one auction per ID.
std::string PageFor(const std::string& id, std::time_t now)
{
    std::string page = EucFromUtf8(BidPage("Nikon D70 body " + id, now - kDay, now + kDay + std::stoi(id.substr(1)) * 60,
                                           1000, {{now - 3600, "b1", 1500 + std::stoi(id.substr(1))}}));
    const std::string mark = ">t1<";
    page.replace(page.find(mark), mark.size(), ">" + id + "<");
    return Http("200 OK", page);
}

// Ended auctions of cameras and their parts, the board's D70s among them.
bool FillHistory(int auctions)
{
    History history;
    if (!history.Open())
        return false;
    static const char* const kinds[] = {"Nikon D%d body", "Nikon D%d レンズキット", "ニコン D%d ボディ 美品",
                                        "Canon EOS %dD", "Nikon D%d バッテリー", "【ジャンク】Nikon D%d"};
    History::Batch batch(history);
    for (int i = 0; i < auctions; ++i) {
        AuctionRecord record;
        record.auctionId = Format("h%07d", i);
        record.title = SjisFromUtf8(Format(kinds[i % std::size(kinds)], 40 + (i / 7) % 400) + Format(" #%d", i));
        BidLog log;
        const std::int32_t end = 1'700'000'000 + i * 60;
        log.Add({end, 2000 + static_cast<std::int32_t>((i * 7919) % 50000), "", "b", ""});
        log.Add({static_cast<std::int32_t>(end - kDay), 1000, "", "start", ""});
        Prediction ended;
        ended.ended = true;
        ended.endTime = end;
        if (!history.Record(record, log, ended, 1, "", end + 1))
            return false;
    }
    return batch.Commit();
}

// Times each event the window's thread handles, so that the longest hold
// can name what ran in it.
class TimedApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        if (QThread::currentThread() != thread())
            return QApplication::notify(receiver, event);
        QElapsedTimer took;
        took.start();
        const bool done = QApplication::notify(receiver, event);
        if (took.nsecsElapsed() > 500'000)
            sinceTick.emplace_back(took.nsecsElapsed(), std::string(receiver->metaObject()->className()) + " "
                                                            + QMetaEnum::fromType<QEvent::Type>().valueToKey(event->type()));
        return done;
    }
    std::vector<std::pair<qint64, std::string>> sinceTick; // over 0.5 ms, since the last tick
};

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TimedApplication app(argc, argv);
    int idleSeconds = 60, historySize = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--history" && i + 1 < argc)
            historySize = std::atoi(argv[++i]);
        else
            idleSeconds = std::atoi(argv[i]);
    }
    QDir::setCurrent(home.path());
    if (historySize > 0) {
        QElapsedTimer fill;
        fill.start();
        if (!FillHistory(historySize)) {
            std::fprintf(stderr, "bench_board: cannot fill the history\n");
            return 1;
        }
        std::printf("history: %d ended auctions recorded in %.1f s\n", historySize, fill.elapsed() / 1000.0);
    }
    const std::time_t start = std::time(nullptr);

    ScriptServer service([start](ScriptServer::Conn& c, int) {
        const std::string request = c.ReadRequest();
        const std::size_t at = request.find("aID=") + 4;
        c.Send(PageFor(request.substr(at, request.find('&', at) - at), start));
        c.Close();
    });

    TForm12 board;
    board.show();
    Spin(200);
    const long emptyKb = RssKb();

    std::vector<AuctionEntry> entries;
    for (int i = 0; i < kAuctions; ++i)
        entries.push_back({"http://" + service.Address() + "/jp/auction/a" + std::to_string(i),
                           "a" + std::to_string(i), ""});
    BoardSettings fast = board.Rules().Settings();
    fast.gapSeconds = 0; // the benchmark's own: the stored setting never goes below 1 s
    board.Rules().SetSettings(fast);
    board.Rules().SetEntries(entries, std::time(nullptr));
    board.Model().Reset();
    Spin(200); // the rows' first paint (fonts, glyphs) is the opening's, not a read's

    qint64 longest = 0, last = 0;
    std::vector<std::pair<qint64, int>> gaps; // the long ones, with the reads done by then
    std::vector<qint64> all;
    std::vector<std::pair<qint64, std::string>> inLongest;
    int longestAfter = 0;
    auto readsDone = [&] {
        int n = 0;
        for (const BoardRow& row : board.Rules().Rows())
            n += row.lastRead != 0;
        return n;
    };
    QElapsedTimer clock;
    clock.start();
    QTimer ticks;
    ticks.setInterval(1);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (last) {
            if (now - last > longest) {
                inLongest = app.sinceTick;
                longestAfter = readsDone();
            }
            longest = std::max(longest, now - last);
            all.push_back(now - last);
            if (now - last > 16'000'000)
                gaps.emplace_back(now - last, readsDone());
        }
        last = now;
        app.sinceTick.clear();
    });
    ticks.start();
    const double sweepStart = clock.elapsed();
    board.Pump();
    auto unread = [&] {
        for (const BoardRow& row : board.Rules().Rows()) {
            if (row.lastRead == 0)
                return true;
        }
        return false;
    };
    {
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (!unread() || clock.elapsed() > 600000)
                loop.quit();
        });
        poll.start(50);
        loop.exec();
    }
    const double sweepSeconds = (clock.elapsed() - sweepStart) / 1000.0;
    ticks.stop();
    int failed = 0;
    for (const BoardRow& row : board.Rules().Rows())
        failed += row.state == RowState::Error;
    const long fullKb = RssKb();
    std::printf("sweep of %d auctions: %.1f s, %d failed\n", kAuctions, sweepSeconds, failed);
    std::sort(all.begin(), all.end());
    const double p99 = all.empty() ? 0 : double(all[all.size() * 99 / 100]) / 1e6;
    std::printf("(a) longest event-loop hold during the sweep: %.1f ms, 99th percentile %.2f ms (aim < 8 ms)\n",
                double(longest) / 1e6, p99);
    std::printf("    it came after %d reads; in it:", longestAfter);
    for (const auto& [took, what] : inLongest)
        std::printf(" %s %.1f ms,", what.c_str(), double(took) / 1e6);
    std::printf("\n");
    std::printf("    gaps over 16 ms: %zu;", gaps.size());
    for (std::size_t i = 0; i < gaps.size() && i < 8; ++i)
        std::printf(" %.0f ms after %d reads,", double(gaps[i].first) / 1e6, gaps[i].second);
    std::printf("\n");
    std::printf("(b) growth over the empty board: %.1f MB (aim <= 20 MB)\n", double(fullKb - emptyKb) / 1024.0);

    const double cpu0 = Cpu();
    Spin(idleSeconds * 1000);
    const double cpu = Cpu() - cpu0;
    std::printf("(c) idle with %d rows counting down: %.2f CPU s over %d s = %.2f %% of a core (aim < 1 %%)\n",
                kAuctions, cpu, idleSeconds, 100.0 * cpu / idleSeconds);
    return 0;
}
