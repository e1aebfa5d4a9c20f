#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

#include "base/WorkFolder.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Sandbox.h"

namespace fs = std::filesystem;

TEST(WorkFolderTest, HomeFolderGivesWayToThePrivateStateFolderOthersStay)
{
    const std::string dir = sandbox::Dir();
    const std::string home = sandbox::Home();
    const std::string ownState = home + "/.local/state/quillmere/mirelo";
    fs::create_directories(dir + "/work");
    fs::create_symlink(home, dir + "/home-link");
    sandbox::WriteFile(dir + "/not-a-folder", "x");
    struct Case {
        const char* what;
        std::string start, home, stateHome, expected;
    };
    const Case cases[] = {
        {"started in the home folder", home, home, "", ownState},
        {"with XDG_STATE_HOME", home, home, dir + "/state", dir + "/state/quillmere/mirelo"},
        {"relative XDG_STATE_HOME is ignored", home, home, "state", ownState},
        {"home named through a link", home, dir + "/home-link", "", dir + "/home-link/.local/state/quillmere/mirelo"},
        {"started in another folder", dir + "/work", home, "", dir + "/work"},
        {"state folder cannot be made", home, home, dir + "/not-a-folder", home},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::current_path(c.start);
        setenv("HOME", c.home.c_str(), 1);
        c.stateHome.empty() ? unsetenv("XDG_STATE_HOME") : setenv("XDG_STATE_HOME", c.stateHome.c_str(), 1);
        EXPECT_EQ(EnterWorkFolder(), fs::path(c.expected));
        EXPECT_TRUE(fs::equivalent(fs::current_path(), c.expected));
    }
    unsetenv("XDG_STATE_HOME");
    EXPECT_EQ(fs::status(ownState).permissions() & fs::perms::all, fs::perms::owner_all)
        << "the saved My Auction pages are private";
}

TEST(WorkFolderTest, UnwritableFolderGivesWayToTheStateFolder)
{
    const std::string dir = sandbox::Dir();
    fs::create_directories(dir + "/locked");
    fs::create_directories(dir + "/state");
    fs::permissions(dir + "/locked", fs::perms(0555));
    fs::permissions(dir + "/state", fs::perms(0777));
    setenv("XDG_STATE_HOME", (dir + "/state").c_str(), 1);
    const int status = RunUnprivileged([&] {
        fs::current_path(dir + "/locked");
        return EnterWorkFolder() == fs::path(dir + "/state/quillmere/mirelo") ? 0 : 1;
    });
    unsetenv("XDG_STATE_HOME");
    fs::permissions(dir + "/locked", fs::perms(0755));
    if (status == kCannotDropRoot)
        GTEST_SKIP() << "root here cannot become an ordinary user";
    EXPECT_EQ(status, 0);
}
