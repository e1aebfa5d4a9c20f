#include "tests/support/Sandbox.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

#include "tests/support/Boxes.h"

namespace fs = std::filesystem;

namespace sandbox {
namespace {

std::string& DirRef()
{
    static std::string dir;
    return dir;
}

class SandboxListener : public testing::EmptyTestEventListener {
public:
    void OnTestStart(const testing::TestInfo&) override
    {
        original_ = fs::current_path();
        std::string tmpl = (fs::temp_directory_path() / "mirelo-test-XXXXXX").string();
        char* made = mkdtemp(tmpl.data());
        if (!made)
            std::abort();
        DirRef() = made;
        fs::create_directories(ConfigHome());
        fs::create_directories(Home());
        setenv("XDG_CONFIG_HOME", ConfigHome().c_str(), 1);
        setenv("HOME", Home().c_str(), 1);
        fs::current_path(DirRef());
        boxes::Reset();
    }

    void OnTestEnd(const testing::TestInfo&) override
    {
        boxes::Reset();
        fs::current_path(original_);
        if (!std::getenv("MIRELO_KEEP_SANDBOX")) {
            std::error_code ec;
            fs::remove_all(DirRef(), ec);
        }
    }

private:
    fs::path original_;
};

} // namespace

const std::string& Dir()
{
    return DirRef();
}

std::string ConfigHome()
{
    return DirRef() + "/config";
}

std::string Home()
{
    return DirRef() + "/home";
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    fs::path p(path);
    if (p.has_parent_path())
        fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void InstallListener()
{
    testing::UnitTest::GetInstance()->listeners().Append(new SandboxListener);
}

} // namespace sandbox
