// Where the work files (http.txt, img.jpg, myauction.txt, watch.txt, board.txt) and the
// run lock live. They go into the current directory, except when that is the
// home folder or cannot be written, as for a program started from the desktop
// menu: then a folder of the user's own under the XDG state location takes its
// place, so the home folder is not littered and menu-started copies share one lock.
#pragma once

#include <filesystem>

// Changes into $XDG_STATE_HOME/quillmere/mirelo (~/.local/state/... when the
// variable is unset or relative; made private when new) when the current
// directory asks for it; stays put when that folder cannot be used. Returns the
// current directory afterwards.
std::filesystem::path EnterWorkFolder();
