// Runs test code in child processes: other running copies of the program, or
// a user who may not write where the test (perhaps root) may.
#pragma once

#include <functional>
#include <vector>

// Each body runs in a child of its own, all started at the same moment; their
// results (0 to 255), or -1 for a child that did not end normally.
std::vector<int> RunTogether(const std::vector<std::function<int()>>& bodies);

// Runs body in a child that, when the test runs as root, first becomes an
// ordinary user (the sandbox is opened to it for reading); kCannotDropRoot
// when the system does not let it.
inline constexpr int kCannotDropRoot = 254;
int RunUnprivileged(const std::function<int()>& body);

// Forks a child running body; its process id.
int StartChild(const std::function<int()>& body);

// Waits for a child; its result as above.
int WaitChild(int pid);
