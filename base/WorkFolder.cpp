#include "base/WorkFolder.h"

#include "base/PrivateFiles.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Relative values are ignored, as the base-directory rules say.
fs::path AbsoluteFromEnv(const char* name)
{
    const char* value = std::getenv(name);
    return value && value[0] == '/' ? fs::path(value) : fs::path();
}

bool Writable(const fs::path& dir)
{
    return access(dir.c_str(), W_OK | X_OK) == 0;
}

bool IsHomeOrUnwritable(const fs::path& current)
{
    if (current.empty() || !Writable(current))
        return true;
    std::error_code ec;
    const fs::path home = AbsoluteFromEnv("HOME");
    return !home.empty() && fs::equivalent(current, home, ec);
}

// Empty without a usable $HOME.
fs::path StateWorkFolder()
{
    fs::path base = AbsoluteFromEnv("XDG_STATE_HOME");
    if (base.empty()) {
        const fs::path home = AbsoluteFromEnv("HOME");
        if (home.empty())
            return {};
        base = home / ".local" / "state";
    }
    return base / "quillmere" / "mirelo";
}

} // namespace

fs::path EnterWorkFolder()
{
    std::error_code ec;
    const fs::path current = fs::current_path(ec);
    if (!IsHomeOrUnwritable(current))
        return current;
    const fs::path folder = StateWorkFolder();
    if (folder.empty())
        return current;
    // The My Auction pages saved here are the user's own: new folders are private.
    if (!CreatePrivateFolders(folder) || !Writable(folder))
        return current;
    fs::current_path(folder, ec);
    return ec ? current : folder;
}
