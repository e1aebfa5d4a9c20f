// What a hostile server costs the HTTP client: peak memory against a reply
// header that never ends, and the disk taken by a body that never ends.
#include <QCoreApplication>
#include <cstdio>
#include <filesystem>
#include <sys/resource.h>

#include "bench/LoopbackGet.h"
#include "tests/net/ScriptServer.h"

namespace {

double PeakMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

// Sends piece after piece until the client goes.
ScriptServer::Script Endless(std::string head, std::string piece)
{
    return [head, piece](ScriptServer::Conn& c, int) {
        c.ReadRequest();
        if (c.Send(head))
            while (c.Send(piece)) {
            }
        c.Close();
    };
}

std::string Get(int port, bool toFile, const std::string& file, double& seconds)
{
    std::string outcome = "returned";
    seconds = TimedGet(port, "/", file, 60000, toFile, &outcome);
    return outcome;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const std::string file = "/tmp/mirelo-bench-endless";
    ScriptServer header(Endless("HTTP/1.0 200 OK\r\n", "X-Filler: " + std::string(1000, 'h') + "\r\n"));
    ScriptServer body(Endless("HTTP/1.0 200 OK\r\n\r\n", std::string(1 << 20, 'b')));

    const double before = PeakMb();
    double headerSeconds = 0, bodySeconds = 0;
    const std::string headerOutcome = Get(header.Port(), false, file, headerSeconds);
    const double afterHeader = PeakMb();
    const std::string bodyOutcome = Get(body.Port(), true, file, bodySeconds);
    const double bodyMb = double(std::filesystem::file_size(file)) / (1 << 20);
    std::filesystem::remove(file);

    std::printf("%-44s %s (%.2f s)\n", "endless header, in memory", headerOutcome.c_str(), headerSeconds);
    std::printf("%-44s %7.1f MB (%.1f MB before the Get)  goal < 50 MB: %s\n", "  peak memory of the process", afterHeader,
                before, afterHeader < 50 ? "yes" : "no");
    std::printf("%-44s %s (%.2f s)\n", "endless body, to a file", bodyOutcome.c_str(), bodySeconds);
    std::printf("%-44s %7.1f MB\n", "  body file left", bodyMb);
    return 0;
}
