// mirelo-forecast: the item, the bids and the forecast of a saved bid-history
// page or of an auction's address, for people who follow many auctions from
// scripts.
#pragma once

#include <ctime>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QTemporaryFile;

struct ForecastToolOptions {
    std::string page;               // a file or an auction's address, as named on the command line
    std::optional<std::time_t> now; // --now; the clock when absent
    std::optional<int> keiko;       // --tendency; the stored setting when absent
    bool json = false;
    bool record = false;            // --record: into the auction history, as a run of the window does
    bool help = false;
    std::optional<long long> limit; // --limit: the chance of winning at it
    bool historyCsv = false;        // --history-csv: the history as CSV, no page
};

// The arguments after the program's name; nothing, with error set, when they
// are not usable.
std::optional<ForecastToolOptions> ParseForecastArgs(const std::vector<std::string>& args, std::string& error);

// "YYYY-MM-DD HH:MM" on the local clock, read as the pages' dates are (standard time).
std::optional<std::time_t> ParseNowOption(std::string_view text);

// The saved page to read for what the user named: the file itself, or for an
// auction's address its bid-history page, fetched as the main window fetches
// it (same client, the stored proxy) into download. Nothing, with error set,
// when there is none to read.
std::optional<std::string> PageFileFor(const ForecastToolOptions& options, QTemporaryFile& download,
                                       std::string& error);

// The whole tool: text in encoding (the terminal's; JSON is always UTF-8) to
// out, messages to err. The exit status: 0 done, 1 no forecast could be
// made, 2 the arguments are wrong, 3 --record could not record the auction.
int RunForecastTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                    const char* encoding = "UTF-8");
