#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

#include "base/Registry.h"
#include "base/Text.h"
#include "history/History.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Sandbox.h"
#include "tests/support/StoredSettings.h"

namespace fs = std::filesystem;
using stored::Number;
using stored::Text;

namespace {
constexpr HKEY kRoot = HKEY_LOCAL_MACHINE;
} // namespace

TEST(RegistryTest, FreshMachineReadsFailKeepingDefaultsAndWritesNeedTheKey)
{
    std::int32_t number = 7;
    EXPECT_EQ(ReadRegistryNumber(kRoot, kMireloKey, "Keiko", number), 1);
    EXPECT_EQ(number, 7);
    std::string text = "previous";
    EXPECT_EQ(ReadRegistryText(kRoot, kMireloKey, "ProxyHost", text), 1);
    EXPECT_EQ(text, "");
    EXPECT_FALSE(fs::exists(RegistryPath())) << "reading makes no store";
    EXPECT_EQ(RegistryPath(), sandbox::ConfigHome() + "/quillmere/mirelo/registry.db");

    EXPECT_EQ(WriteRegistryNumber(kRoot, kMireloKey, "ListNum", 3), 1);
    EXPECT_EQ(CreateRegistryKey(kRoot, kMireloListKey), 0);
    EXPECT_EQ(CreateRegistryKey(kRoot, kMireloListKey), 0) << "an existing key is opened";
    EXPECT_EQ(WriteRegistryNumber(kRoot, kMireloKey, "ListNum", 3), 0) << "the keys above are made too";
    EXPECT_EQ(Number("ListNum"), 3);
    EXPECT_EQ(Number("ListNum", kMireloListKey), std::nullopt) << "each key has its own values";
    EXPECT_EQ(WriteRegistryNumber(HKEY_CURRENT_USER, kMireloKey, "ListNum", 1), 1) << "and each root its keys";
    for (std::string_view bad : {"", "\\Software", "Software\\", "Software\\\\Quillmere"})
        EXPECT_EQ(CreateRegistryKey(kRoot, bad), 1) << bad;
}

TEST(RegistryTest, KeyPathsAndValueNamesIgnoreLetterCase)
{
    ASSERT_EQ(CreateRegistryKey(kRoot, kMireloKey), 0);
    EXPECT_EQ(WriteRegistryNumber(kRoot, "software\\QUILLMERE\\mirelo", "listnum", 4), 0);
    EXPECT_EQ(WriteRegistryNumber(kRoot, kMireloKey, "LISTNUM", 5), 0);
    EXPECT_EQ(Number("ListNum"), 5) << "one value, not two";

    // Only single-byte letters fold: these two-byte characters differ in a
    // second byte that looks like "a" and "A", and stay apart.
    EXPECT_EQ(WriteRegistryText(kRoot, kMireloKey, "\x83\x61", "lower"), 0);
    EXPECT_EQ(WriteRegistryText(kRoot, kMireloKey, "\x83\x41", "upper"), 0);
    EXPECT_EQ(Text("\x83\x61"), "lower");
    // And a backslash as second byte ("ソ" is 0x83 0x5C) does not split a key path.
    const std::string so = std::string(kMireloKey) + "\\\x83\x5C";
    EXPECT_EQ(CreateRegistryKey(kRoot, so), 0);
    EXPECT_EQ(WriteRegistryText(kRoot, so, "v", "so"), 0);
    EXPECT_EQ(Text("v", so), "so");
}

TEST(RegistryTest, TextsReadThroughA256ByteBufferAndNumbersAreFourBytes)
{
    ASSERT_EQ(CreateRegistryKey(kRoot, kMireloKey), 0);
    const std::string fits(255, 'h');
    ASSERT_EQ(WriteRegistryText(kRoot, kMireloKey, "ProxyHost", fits), 0);
    EXPECT_EQ(Text("ProxyHost"), fits);
    for (std::size_t size : {256u, 300u}) {
        ASSERT_EQ(WriteRegistryText(kRoot, kMireloKey, "ProxyHost", std::string(size, 'h')), 0);
        EXPECT_EQ(Text("ProxyHost"), std::nullopt) << size;
    }
    ASSERT_EQ(WriteRegistryText(kRoot, kMireloKey, "ProxyHost", SJ("ミレロ")), 0);
    EXPECT_EQ(Text("ProxyHost"), SJ("ミレロ"));

    ASSERT_EQ(WriteRegistryNumber(kRoot, kMireloKey, "Keiko", -2), 0);
    EXPECT_EQ(Number("Keiko"), -2);
    // "ab" with its zero is 3 bytes, "abcd" 5: not numbers. The type is not looked at.
    for (const char* text : {"ab", "abcd"}) {
        ASSERT_EQ(WriteRegistryText(kRoot, kMireloKey, "Keiko", text), 0);
        std::int32_t value = 1;
        EXPECT_EQ(ReadRegistryNumber(kRoot, kMireloKey, "Keiko", value), 1) << text;
        EXPECT_EQ(value, 1) << text;
    }
    ASSERT_EQ(WriteRegistryText(kRoot, kMireloKey, "Keiko", "abc"), 0);
    EXPECT_EQ(Number("Keiko"), 0x00636261);
}

TEST(RegistryTest, BatchStoresAllOrNothing)
{
    {
        RegistryBatch batch;
        ASSERT_EQ(CreateRegistryKey(kRoot, kMireloKey), 0);
        ASSERT_EQ(WriteRegistryNumber(kRoot, kMireloKey, "Keiko", 2), 0);
        EXPECT_EQ(Number("Keiko"), 2) << "the batch sees its own writes";
    }
    EXPECT_EQ(Number("Keiko"), std::nullopt) << "not committed";
    {
        RegistryBatch batch;
        ASSERT_EQ(CreateRegistryKey(kRoot, kMireloKey), 0);
        ASSERT_EQ(WriteRegistryNumber(kRoot, kMireloKey, "Keiko", 2), 0);
        EXPECT_EQ(WriteRegistryNumber(kRoot, "Software\\Absent", "Keiko", 2), 1);
        EXPECT_FALSE(batch.Commit());
    }
    EXPECT_EQ(Number("Keiko"), std::nullopt) << "one write failed";
    {
        RegistryBatch batch;
        ASSERT_EQ(CreateRegistryKey(kRoot, kMireloKey), 0);
        {
            RegistryBatch inner; // joins the outer one
            ASSERT_EQ(WriteRegistryNumber(kRoot, kMireloKey, "TitleGo", 0), 0);
        }
        EXPECT_TRUE(batch.Commit());
    }
    EXPECT_EQ(Number("TitleGo"), 0);
    RegistryBatch read(RegistryBatch::Read);
    EXPECT_EQ(WriteRegistryNumber(kRoot, kMireloKey, "TitleGo", 1), 1) << "a read batch does not write";
}

TEST(RegistryTest, ReadOnlyStoreKeepsItsValuesAndRefusesWritesSilently)
{
    ASSERT_TRUE(stored::SetNumber("Keiko", 2));
    const fs::path file = RegistryPath();
    const fs::path dir = file.parent_path();
    // Made private; opened here to the ordinary user who reads the store.
    fs::permissions(dir.parent_path(), fs::perms(0755));
    for (bool folderToo : {false, true}) {
        fs::permissions(file, fs::perms(0444));
        fs::permissions(dir, folderToo ? fs::perms(0555) : fs::perms(0777));
        int status = RunUnprivileged([] {
            return (Number("Keiko") != 2) | (WriteRegistryNumber(kRoot, kMireloKey, "Keiko", 0) != 1) << 1
                   | (CreateRegistryKey(kRoot, kMireloListKey) != 1) << 2 | (Number("Keiko") != 2) << 3;
        });
        if (status == kCannotDropRoot)
            GTEST_SKIP() << "root here cannot become an ordinary user";
        EXPECT_EQ(status, 0) << (folderToo ? "folder and file" : "file") << " (bits: read, write, key, changed)";
        // Nothing left beside the file that would keep writers out later.
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    }
    fs::permissions(dir, fs::perms(0755));
    fs::permissions(file, fs::perms(0644));
    EXPECT_EQ(WriteRegistryNumber(kRoot, kMireloKey, "Keiko", 0), 0) << "writable again";
}

TEST(RegistryTest, DamagedStoreIsSetAsideAndUnreachableOneLosesWrites)
{
    const std::string garbage(5000, '\x5A');
    sandbox::WriteFile(RegistryPath(), garbage);
    EXPECT_EQ(Text("ProxyHost"), std::nullopt) << "defaults apply";
    // The first write keeps the damaged file beside and makes saving possible again.
    EXPECT_EQ(CreateRegistryKey(kRoot, kMireloKey), 0);
    EXPECT_EQ(WriteRegistryText(kRoot, kMireloKey, "ProxyHost", "proxy.lan"), 0);
    EXPECT_EQ(Text("ProxyHost"), "proxy.lan");
    EXPECT_EQ(sandbox::ReadFile(RegistryPath() + ".damaged"), garbage) << "left for the user to look at";

    setenv("XDG_CONFIG_HOME", (RegistryPath() + "/below-a-file").c_str(), 1);
    EXPECT_EQ(CreateRegistryKey(kRoot, kMireloKey), 1);
    EXPECT_EQ(Number("Keiko"), std::nullopt);

    setenv("XDG_CONFIG_HOME", "relative/dir", 1);
    EXPECT_EQ(RegistryPath(), sandbox::Home() + "/.config/quillmere/mirelo/registry.db") << "relative: ignored";
}

TEST(RegistryTest, TheSettingsFolderAndItsFilesAreTheOwnersOnly)
{
    const auto mode = [](const fs::path& p) { return static_cast<int>(fs::symlink_status(p).permissions()); };
    const fs::path folder = fs::path(RegistryPath()).parent_path();
    ASSERT_TRUE(stored::SetNumber("Keiko", 1));
    {
        History history;
        ASSERT_TRUE(history.Open());
        for (const char* name : {"registry.db", "history.db", "history.db-wal", "history.db-shm"})
            EXPECT_EQ(mode(folder / name), 0600) << name;
        EXPECT_EQ(mode(folder), 0700);
        EXPECT_EQ(mode(folder.parent_path()), 0700);
    }

    // As earlier versions left them: readable to all. Tightened, contents kept.
    sandbox::WriteFile(folder / "cookies.txt", "cookie");
    sandbox::WriteFile(folder / "history.db.damaged", "damaged");
    sandbox::WriteFile("elsewhere.txt", "not in the folder");
    fs::create_symlink(fs::absolute("elsewhere.txt"), folder / "link");
    std::vector<std::pair<fs::path, std::string>> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.is_symlink())
            continue;
        fs::permissions(entry.path(), fs::perms(0644));
        files.emplace_back(entry.path(), sandbox::ReadFile(entry.path()));
    }
    fs::permissions(folder, fs::perms(0755));
    fs::permissions("elsewhere.txt", fs::perms(0644));
    MakeSettingsPrivate();
    EXPECT_EQ(mode(folder), 0700);
    for (const auto& [file, bytes] : files) {
        EXPECT_EQ(mode(file), 0600) << file;
        EXPECT_EQ(sandbox::ReadFile(file), bytes) << file;
    }
    EXPECT_EQ(mode("elsewhere.txt"), 0644) << "a link's target is not ours to change";
    EXPECT_EQ(Number("Keiko"), 1);
}

TEST(RegistryTest, TwoCopiesWritingAtOnceLoseNothingAndSeeNoError)
{
    ASSERT_EQ(CreateRegistryKey(kRoot, kMireloKey), 0);
    constexpr int kWrites = 100;
    auto writer = [](char copy) {
        return [copy] {
            int failures = 0;
            for (int i = 0; i < kWrites; ++i) {
                failures += WriteRegistryNumber(kRoot, kMireloKey, Format("%c%03d", copy, i), i);
                if (i % 10 == 0) {
                    // Batches hold the lock longer, as the list save does.
                    RegistryBatch batch;
                    for (int j = 0; j < 20; ++j)
                        WriteRegistryText(kRoot, kMireloKey, Format("%cbatch%02d", copy, j), Format("%d", i));
                    failures += !batch.Commit();
                }
                failures += Number(Format("%c%03d", copy, i)) != i;
            }
            return failures;
        };
    };
    EXPECT_EQ(RunTogether({writer('A'), writer('B')}), (std::vector<int>{0, 0}));
    for (char copy : {'A', 'B'}) {
        for (int i = 0; i < kWrites; ++i)
            EXPECT_EQ(Number(Format("%c%03d", copy, i)), i) << copy << i;
        EXPECT_EQ(Text(Format("%cbatch19", copy)), Format("%d", kWrites - 10));
    }
}
