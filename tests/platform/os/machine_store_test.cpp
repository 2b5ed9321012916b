// The machine-wide store under the first XDG config folder, and its failure paths.
#include "kavrel/os/machine_store.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using kavrel::os::machineStoreFile;
using kavrel::os::machineStoreRead;
using kavrel::os::machineStoreWrite;
using kavrel::test::readBytes;
using kavrel::test::ScopedEnv;
using kavrel::test::TempDir;
using kavrel::test::writeBytes;

TEST(MachineStore, FileUnderFirstAbsoluteConfigDir) {
    struct Case {
        const char* dirs; // nullptr: unset
        const char* expected;
    } cases[] = {
        {nullptr, "/etc/xdg/Drovik Morv TZ814/machine.ini"},
        {"", "/etc/xdg/Drovik Morv TZ814/machine.ini"},
        {"/a:/b", "/a/Drovik Morv TZ814/machine.ini"},
        {"relative::/c", "/c/Drovik Morv TZ814/machine.ini"},
        {"relative", "/etc/xdg/Drovik Morv TZ814/machine.ini"},
    };
    for (const Case& c : cases) {
        ScopedEnv env("XDG_CONFIG_DIRS", c.dirs);
        EXPECT_EQ(machineStoreFile(), fs::path(c.expected)) << (c.dirs ? c.dirs : "(unset)");
    }
}

TEST(MachineStore, WriteThenReadUnderTheProductKey) {
    TempDir tmp;
    ScopedEnv env("XDG_CONFIG_DIRS", (tmp.path().string() + ":/etc/xdg").c_str());
    std::string out = "untouched";
    EXPECT_FALSE(machineStoreRead("LANGUAGE", out)) << "no store yet";
    EXPECT_EQ(out, "untouched");

    ASSERT_TRUE(machineStoreWrite("LANGUAGE", "2020"));
    EXPECT_EQ(readBytes(tmp / "Drovik Morv TZ814" / "machine.ini"), "[SOFTWARE\\Drovik Morv TZ814]\r\nLANGUAGE=2020\r\n");
    ASSERT_TRUE(machineStoreRead("language", out));
    EXPECT_EQ(out, "2020");

    out = "untouched";
    EXPECT_FALSE(machineStoreRead("OTHER", out)) << "a missing value fails";
    EXPECT_EQ(out, "untouched");
    ASSERT_TRUE(machineStoreWrite("LANGUAGE", "1010"));
    ASSERT_TRUE(machineStoreRead("LANGUAGE", out));
    EXPECT_EQ(out, "1010");
}

TEST(MachineStore, UnwritableStoreFailsAndChangesNothing) {
    TempDir tmp;
    // Root may write anywhere, so block the folder itself: its parent is a regular file.
    writeBytes(tmp / "blocker", "keep");
    ScopedEnv env("XDG_CONFIG_DIRS", (tmp / "blocker").c_str());
    EXPECT_FALSE(machineStoreWrite("LANGUAGE", "2020"));
    EXPECT_EQ(readBytes(tmp / "blocker"), "keep");
    std::string out = "untouched";
    EXPECT_FALSE(machineStoreRead("LANGUAGE", out));
    EXPECT_EQ(out, "untouched");
}

TEST(MachineStore, FailedWriteLeavesNoFolderBehind) {
    TempDir tmp;
    ScopedEnv env("XDG_CONFIG_DIRS", tmp.path().c_str());
    EXPECT_FALSE(machineStoreWrite("bad=name", "x"));
    EXPECT_FALSE(fs::exists(tmp / "Drovik Morv TZ814"));
}

} // namespace
