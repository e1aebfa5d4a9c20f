// mirelo-forecast: the forecast of a saved bid-history page or of an auction's
// address on the command line.
#include <QCoreApplication>
#include <clocale>
#include <iostream>
#include <langinfo.h>
#include <string>
#include <vector>

#include "app/ForecastTool.h"
#include "base/Registry.h"
#include "board/BoardTool.h"

int main(int argc, char* argv[])
{
    // The HTTP client waits in an event loop.
    QCoreApplication application(argc, argv);
    std::setlocale(LC_ALL, "");
    MakeSettingsPrivate();
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (WantsBoard(args))
        return RunBoardTool(args, std::cout, std::cerr, nl_langinfo(CODESET));
    return RunForecastTool(args, std::cout, std::cerr, nl_langinfo(CODESET));
}
