// mirelo-forecast: the forecast of a saved bid-history page on the command line.
#include <clocale>
#include <iostream>
#include <langinfo.h>
#include <string>
#include <vector>

#include "analysis/ForecastTool.h"

int main(int argc, char* argv[])
{
    std::setlocale(LC_ALL, "");
    const std::vector<std::string> args(argv + 1, argv + argc);
    return RunForecastTool(args, std::cout, std::cerr, nl_langinfo(CODESET));
}
