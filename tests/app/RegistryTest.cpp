#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

#include "app/Registry.h"
#include "app/Text.h"
#include "tests/app/ChildProcess.h"
#include "tests/support/Sandbox.h"
#include "tests/support/StoredSettings.h"

namespace fs = std::filesystem;

namespace {
constexpr HKEY kRoot = HKEY_LOCAL_MACHINE;
using stored::Number;
using stored::Text;
} // namespace

TEST(RegistryTest, FreshMachineReadsFailLeavingDefaultsAndCreateNoFile)
{
    std::int32_t number = 7;
    EXPECT_EQ(ReadRegistryNumber(kRoot, kMireloKey, "Keiko", number), 1);
    EXPECT_EQ(number, 7);
    std::string text = "previous";
    EXPECT_EQ(ReadRegistryText(kRoot, kMireloKey, "ProxyHost", text), 1);
    EXPECT_EQ(text, "");
    EXPECT_TRUE(ReadRegistrySwitch("TitleGo", 1));
    EXPECT_FALSE(ReadRegistrySwitch("Proxy", 0));
    EXPECT_FALSE(fs::exists(RegistryPath()));
    EXPECT_EQ(RegistryPath(), sandbox::ConfigHome() + "/quillmere/mirelo/registry.db");
}

TEST(RegistryTest, WritesNeedAnExistingKeyAndKeyCreationMakesTheKeysAbove)
{
    EXPECT_EQ(WriteRegistryNumber(kRoot, kMireloKey, "ListNum", 3), 1);
    EXPECT_EQ(WriteRegistryText(kRoot, kMireloListKey, "Title000", "a"), 1);
    EXPECT_EQ(Number("ListNum"), std::nullopt);

    EXPECT_EQ(CreateRegistryKey(kRoot, kMireloListKey), 0);
    EXPECT_EQ(CreateRegistryKey(kRoot, kMireloListKey), 0) << "an existing key is opened";
    EXPECT_EQ(WriteRegistryNumber(kRoot, kMireloKey, "ListNum", 3), 0);
    EXPECT_EQ(WriteRegistryText(kRoot, kMireloListKey, "Title000", "a"), 0);
    EXPECT_EQ(WriteRegistryText(kRoot, "Software\\Quillmere", "Other", "b"), 0);
    EXPECT_EQ(Number("ListNum"), 3);
    EXPECT_EQ(Text("Title000", kMireloListKey), "a");

    // Keys are separate: a value of one is not seen through another, nor under another root.
    EXPECT_EQ(Text("Title000"), std::nullopt);
    std::int32_t n = 0;
    EXPECT_EQ(ReadRegistryNumber(HKEY_CURRENT_USER, kMireloKey, "ListNum", n), 1);
    EXPECT_EQ(WriteRegistryNumber(HKEY_CURRENT_USER, kMireloKey, "ListNum", 1), 1);

    for (std::string_view bad : {"", "\\Software", "Software\\", "Software\\\\Quillmere"})
        EXPECT_EQ(CreateRegistryKey(kRoot, bad), 1) << bad;
}

TEST(RegistryTest, KeyPathsAndValueNamesIgnoreLetterCase)
{
    ASSERT_EQ(CreateRegistryKey(kRoot, kMireloKey), 0);
    EXPECT_EQ(WriteRegistryNumber(kRoot, "software\\QUILLMERE\\mirelo", "listnum", 4), 0);
    EXPECT_EQ(Number("ListNum"), 4);
    EXPECT_EQ(WriteRegistryNumber(kRoot, kMireloKey, "LISTNUM", 5), 0);
    EXPECT_EQ(Number("ListNum"), 5) << "the same value, not a second one";

    // Only single-byte letters fold: these two-byte characters differ in a
    // second byte that looks like "a" and "A", and stay apart.
    const std::string lower = "\x83\x61", upper = "\x83\x41";
    EXPECT_EQ(WriteRegistryText(kRoot, kMireloKey, lower, "lower"), 0);
    EXPECT_EQ(WriteRegistryText(kRoot, kMireloKey, upper, "upper"), 0);
    EXPECT_EQ(Text(lower), "lower");
    EXPECT_EQ(Text(upper), "upper");
    // And a backslash as second byte ("ソ" is 0x83 0x5C) does not split a key path.
    const std::string so = std::string(kMireloKey) + "\\\x83\x5C";
    EXPECT_EQ(CreateRegistryKey(kRoot, so), 0);
    EXPECT_EQ(WriteRegistryText(kRoot, so, "v", "so"), 0);
    EXPECT_EQ(Text("v", so), "so");
}

TEST(RegistryTest, TextReadsThroughA256ByteBuffer)
{
    ASSERT_EQ(CreateRegistryKey(kRoot, kMireloKey), 0);
    const std::string fits(255, 'h');
    ASSERT_EQ(WriteRegistryText(kRoot, kMireloKey, "ProxyHost", fits), 0);
    EXPECT_EQ(Text("ProxyHost"), fits);

    for (std::size_t size : {256u, 300u}) {
        ASSERT_EQ(WriteRegistryText(kRoot, kMireloKey, "ProxyHost", std::string(size, 'h')), 0);
        std::string text = "previous";
        EXPECT_EQ(ReadRegistryText(kRoot, kMireloKey, "ProxyHost", text), 1) << size;
        EXPECT_EQ(text, "") << size;
    }

    // Text ends at its first zero byte; Shift_JIS bytes come back as they went in.
    ASSERT_EQ(WriteRegistryText(kRoot, kMireloKey, "ProxyHost", std::string("ab\0cd", 5)), 0);
    EXPECT_EQ(Text("ProxyHost"), "ab");
    ASSERT_EQ(WriteRegistryText(kRoot, kMireloKey, "ProxyHost", SJ("ミレロ")), 0);
    EXPECT_EQ(Text("ProxyHost"), SJ("ミレロ"));
}

TEST(RegistryTest, NumbersAreFourBytesWhateverTheType)
{
    ASSERT_EQ(CreateRegistryKey(kRoot, kMireloKey), 0);
    ASSERT_EQ(WriteRegistryNumber(kRoot, kMireloKey, "Keiko", -2), 0);
    EXPECT_EQ(Number("Keiko"), -2);

    // "ab" with its zero is 3 bytes, "abcd" 5: neither is a number.
    for (const char* text : {"ab", "abcd", ""}) {
        ASSERT_EQ(WriteRegistryText(kRoot, kMireloKey, "Keiko", text), 0);
        std::int32_t value = 1;
        EXPECT_EQ(ReadRegistryNumber(kRoot, kMireloKey, "Keiko", value), 1) << text;
        EXPECT_EQ(value, 1) << text;
    }
    // The type is not looked at: 4 bytes of text read as a number, and a number as text.
    ASSERT_EQ(WriteRegistryText(kRoot, kMireloKey, "Keiko", "abc"), 0);
    EXPECT_EQ(Number("Keiko"), 0x00636261);
    ASSERT_EQ(WriteRegistryNumber(kRoot, kMireloKey, "Keiko", 0x00434241), 0);
    EXPECT_EQ(Text("Keiko"), "ABC");
}

TEST(RegistryTest, SwitchesOfTheRunsAreOnOnlyAtExactlyOne)
{
    ASSERT_EQ(CreateRegistryKey(kRoot, kMireloKey), 0);
    ASSERT_EQ(WriteRegistryNumber(kRoot, kMireloKey, "Proxy", 2), 0);
    EXPECT_FALSE(ReadRegistrySwitch("Proxy", 0));
    ASSERT_EQ(WriteRegistryNumber(kRoot, kMireloKey, "Proxy", 1), 0);
    EXPECT_TRUE(ReadRegistrySwitch("Proxy", 0));
    EXPECT_TRUE(ReadRegistrySwitch("ShowImage", 1)) << "missing: the default";
}

TEST(RegistryTest, BatchStoresAllOrNothing)
{
    {
        RegistryBatch batch;
        ASSERT_EQ(CreateRegistryKey(kRoot, kMireloKey), 0);
        ASSERT_EQ(WriteRegistryNumber(kRoot, kMireloKey, "Keiko", 2), 0);
        EXPECT_EQ(Number("Keiko"), 2) << "the batch sees its own writes";
    }
    EXPECT_EQ(Number("Keiko"), std::nullopt) << "not committed: rolled back";

    {
        RegistryBatch batch;
        ASSERT_EQ(CreateRegistryKey(kRoot, kMireloKey), 0);
        ASSERT_EQ(WriteRegistryNumber(kRoot, kMireloKey, "Keiko", 2), 0);
        EXPECT_EQ(WriteRegistryNumber(kRoot, "Software\\Absent", "Keiko", 2), 1);
        EXPECT_FALSE(batch.Commit());
    }
    EXPECT_EQ(Number("Keiko"), std::nullopt) << "one write failed: nothing stored";

    {
        RegistryBatch batch;
        ASSERT_EQ(CreateRegistryKey(kRoot, kMireloKey), 0);
        ASSERT_EQ(WriteRegistryNumber(kRoot, kMireloKey, "Keiko", 0), 0);
        {
            RegistryBatch inner; // joins the outer batch
            ASSERT_EQ(WriteRegistryNumber(kRoot, kMireloKey, "TitleGo", 0), 0);
        }
        EXPECT_TRUE(batch.Commit());
    }
    EXPECT_EQ(Number("Keiko"), 0);
    EXPECT_EQ(Number("TitleGo"), 0);

    RegistryBatch read(RegistryBatch::Read);
    EXPECT_EQ(Number("Keiko"), 0);
    EXPECT_EQ(WriteRegistryNumber(kRoot, kMireloKey, "Keiko", 1), 1) << "a read batch does not write";
}

TEST(RegistryTest, ReadOnlyStoreKeepsItsValuesAndRefusesWritesSilently)
{
    ASSERT_EQ(CreateRegistryKey(kRoot, kMireloKey), 0);
    ASSERT_EQ(WriteRegistryNumber(kRoot, kMireloKey, "Keiko", 2), 0);
    ASSERT_EQ(WriteRegistryText(kRoot, kMireloKey, "ProxyHost", "proxy.example"), 0);
    const fs::path file = RegistryPath();
    const fs::path dir = file.parent_path();

    // A read-only file in a writable folder, then a read-only folder too.
    for (bool folderToo : {false, true}) {
        fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        fs::permissions(dir, folderToo ? fs::perms(0555) : fs::perms(0777));
        int status = RunUnprivileged([] {
            int failures = 0;
            if (Number("Keiko") != 2 || Text("ProxyHost") != "proxy.example")
                failures |= 1;
            if (WriteRegistryNumber(kRoot, kMireloKey, "Keiko", 0) != 1 || CreateRegistryKey(kRoot, kMireloListKey) != 1)
                failures |= 2;
            if (Number("Keiko") != 2)
                failures |= 4;
            return failures;
        });
        EXPECT_EQ(status, 0) << (folderToo ? "folder and file" : "file") << " (1 read, 2 write, 4 changed)";
        // Nothing left beside the file that would keep writers out later.
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    }
    fs::permissions(dir, fs::perms(0755));
    fs::permissions(file, fs::perms(0644));
    EXPECT_EQ(WriteRegistryNumber(kRoot, kMireloKey, "Keiko", 0), 0) << "writable again";
}

TEST(RegistryTest, DamagedStoreMeansDefaultsAndIsLeftAsItIs)
{
    const std::string garbage(5000, '\x5A');
    sandbox::WriteFile(RegistryPath(), garbage);
    EXPECT_EQ(Number("Keiko"), std::nullopt);
    EXPECT_EQ(Text("ProxyHost"), std::nullopt);
    EXPECT_EQ(CreateRegistryKey(kRoot, kMireloKey), 1);
    EXPECT_EQ(WriteRegistryNumber(kRoot, kMireloKey, "Keiko", 2), 1);
    EXPECT_EQ(sandbox::ReadFile(RegistryPath()), garbage);
}

TEST(RegistryTest, UnreachableFolderMeansDefaultsAndLostWrites)
{
    sandbox::WriteFile("config-file", "x");
    setenv("XDG_CONFIG_HOME", (sandbox::Dir() + "/config-file").c_str(), 1);
    EXPECT_EQ(CreateRegistryKey(kRoot, kMireloKey), 1);
    EXPECT_EQ(WriteRegistryNumber(kRoot, kMireloKey, "Keiko", 2), 1);
    EXPECT_EQ(Number("Keiko"), std::nullopt);
}

TEST(RegistryTest, StoreFollowsTheConfigFolderOfTheMoment)
{
    setenv("XDG_CONFIG_HOME", "relative/dir", 1);
    EXPECT_EQ(RegistryPath(), sandbox::Home() + "/.config/quillmere/mirelo/registry.db") << "relative: ignored";
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(RegistryPath(), sandbox::Home() + "/.config/quillmere/mirelo/registry.db");
    ASSERT_EQ(CreateRegistryKey(kRoot, kMireloKey), 0);
    EXPECT_TRUE(fs::exists(sandbox::Home() + "/.config/quillmere/mirelo/registry.db"));
}

TEST(RegistryTest, TwoCopiesWritingAtOnceLoseNothingAndSeeNoError)
{
    ASSERT_EQ(CreateRegistryKey(kRoot, kMireloKey), 0);
    constexpr int kWrites = 100;
    auto writer = [](char copy) {
        return [copy] {
            int failures = 0;
            for (int i = 0; i < kWrites; ++i) {
                if (WriteRegistryNumber(kRoot, kMireloKey, Format("%c%03d", copy, i), i) != 0)
                    ++failures;
                if (i % 10 == 0) {
                    // Batches hold the lock longer, as the list save does.
                    RegistryBatch batch;
                    for (int j = 0; j < 20; ++j)
                        WriteRegistryText(kRoot, kMireloKey, Format("%cbatch%02d", copy, j), Format("%d", i));
                    if (!batch.Commit())
                        ++failures;
                }
                std::int32_t seen = -1;
                if (ReadRegistryNumber(kRoot, kMireloKey, Format("%c%03d", copy, i), seen) != 0 || seen != i)
                    ++failures;
            }
            return failures;
        };
    };
    std::vector<int> statuses = RunTogether({writer('A'), writer('B')});
    EXPECT_EQ(statuses, (std::vector<int>{0, 0}));
    for (char copy : {'A', 'B'}) {
        for (int i = 0; i < kWrites; ++i)
            EXPECT_EQ(Number(Format("%c%03d", copy, i)), i) << copy << i;
        EXPECT_EQ(Text(Format("%cbatch19", copy)), Format("%d", kWrites - 10));
    }
}
