// mirelo-forecast --board: every entry of the saved list read once, with the
// board's politeness, one line (or one JSON object) each.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// True when the arguments ask for the board.
bool WantsBoard(const std::vector<std::string>& args);

// Exit status: 0 every entry read, 1 an entry could not be read (the others
// are printed all the same) or the list is empty, 2 wrong arguments, 3
// --record could not record an entry that was read.
int RunBoardTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                 const char* encoding = "UTF-8");
