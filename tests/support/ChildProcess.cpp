#include "tests/support/ChildProcess.h"

#include <algorithm>
#include <filesystem>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/Sandbox.h"

namespace {

// Leaves without exit handlers: the parent owns the test's state and output.
[[noreturn]] void Finish(int result)
{
    _exit(std::clamp(result, 0, 255));
}

} // namespace

int StartChild(const std::function<int()>& body)
{
    pid_t pid = fork();
    if (pid == 0)
        Finish(body());
    return pid;
}

int WaitChild(int pid)
{
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

std::vector<int> RunTogether(const std::vector<std::function<int()>>& bodies)
{
    int gate[2];
    if (pipe(gate) != 0)
        return std::vector<int>(bodies.size(), -1);
    std::vector<int> pids;
    for (const auto& body : bodies) {
        pids.push_back(StartChild([&] {
            close(gate[1]);
            char c;
            while (read(gate[0], &c, 1) > 0) {
            }
            return body();
        }));
    }
    close(gate[0]);
    close(gate[1]); // opens the gate: every child's read ends
    std::vector<int> results;
    for (int pid : pids)
        results.push_back(WaitChild(pid));
    return results;
}

int RunUnprivileged(const std::function<int()>& body)
{
    const bool root = geteuid() == 0;
    if (root) {
        namespace fs = std::filesystem;
        for (const std::string& dir : {sandbox::Dir(), sandbox::ConfigHome(), sandbox::Home()})
            fs::permissions(dir, fs::perms(0755));
    }
    return WaitChild(StartChild([&] {
        constexpr uid_t kNobody = 65534;
        if (root && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0))
            return kCannotDropRoot;
        return body();
    }));
}
