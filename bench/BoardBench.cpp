// The watch board's figures with 500 auctions on a loopback service:
//  (a) the longest the event loop is held during a full sweep (the largest
//      gap between two ticks of a 1 ms timer);
//  (b) how much the process grows over an empty board;
//  (c) the CPU the board takes idle with 500 rows counting down (60 s, or
//      the seconds given as the first argument).
// Runs with QT_QPA_PLATFORM=offscreen in a private settings folder.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <string>

#include "board/BoardModel.h"
#include "board/Kanshi12.h"
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

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 60;
    QDir::setCurrent(home.path());
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

    qint64 longest = 0, last = 0;
    std::vector<std::pair<qint64, int>> gaps; // the long ones, with the reads done by then
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
            longest = std::max(longest, now - last);
            if (now - last > 16'000'000)
                gaps.emplace_back(now - last, readsDone());
        }
        last = now;
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
    std::printf("(a) longest event-loop hold during the sweep: %.1f ms (aim < 16 ms)\n", double(longest) / 1e6);
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
