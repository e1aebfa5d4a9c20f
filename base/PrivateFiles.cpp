#include "base/PrivateFiles.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr mode_t kOthers = S_IRWXG | S_IRWXO;

void Tighten(const fs::path& path)
{
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && !S_ISLNK(st.st_mode) && (st.st_mode & kOthers) != 0)
        chmod(path.c_str(), st.st_mode & 07777 & ~kOthers);
}

} // namespace

bool CreatePrivateFolders(const fs::path& folder)
{
    fs::path made;
    for (const fs::path& part : folder) {
        made /= part;
        // mkdir, not a umask: the mask is the whole process's, other threads' files included.
        if (mkdir(made.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    std::error_code ec;
    return fs::is_directory(folder, ec);
}

void CreatePrivateFile(const fs::path& file)
{
    const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0)
        close(fd);
}

void TightenPrivateFolder(const fs::path& folder)
{
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        return;
    Tighten(folder);
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_regular_file(ec) && !it->is_symlink(ec))
            Tighten(it->path());
    }
}
