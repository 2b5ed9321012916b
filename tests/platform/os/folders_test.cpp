// The data, device and program folders, with HOME and the XDG variables in a temp folder.
#include "kavrel/os/folders.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;
using kavrel::test::ScopedEnv;
using kavrel::test::TempDir;
using kavrel::test::writeBytes;

class Folders : public testing::Test {
protected:
    TempDir tmp;
    fs::path home = tmp / "home";
    ScopedEnv homeEnv{"HOME", (tmp / "home").c_str()};
    ScopedEnv configEnv{"XDG_CONFIG_HOME", nullptr};
    void SetUp() override { fs::create_directories(home / ".config"); }
};

struct DocsCase {
    const char* name;
    const char* userDirs; // nullptr: no user-dirs.dirs; "@TMP@" stands for the temp folder
    const char* documents; // expected, below the temp folder
};

void PrintTo(const DocsCase& c, std::ostream* os) { *os << c.name; }

class DocumentsFolder : public Folders, public testing::WithParamInterface<DocsCase> {};

TEST_P(DocumentsFolder, FollowsUserDirs) {
    const DocsCase& c = GetParam();
    if (c.userDirs) {
        std::string text = c.userDirs;
        for (std::size_t at; (at = text.find("@TMP@")) != std::string::npos;) text.replace(at, 5, tmp.path().string());
        writeBytes(home / ".config" / "user-dirs.dirs", text);
    }
    fs::path expected = tmp / c.documents / "Drovik Morv TZ814" / "";
    EXPECT_EQ(kavrel::os::dataFolder(), expected);
    EXPECT_TRUE(fs::is_directory(expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DocumentsFolder,
    testing::Values(
        DocsCase{"NoUserDirs", nullptr, "home/Documents"},
        DocsCase{"HomeRelative", "XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n", "home/Docs"},
        DocsCase{"AmongOthersWithComments",
                 "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desk\"\n  XDG_DOCUMENTS_DIR=\"$HOME/My Files\"\n",
                 "home/My Files"},
        DocsCase{"Absolute", "XDG_DOCUMENTS_DIR=\"@TMP@/elsewhere/docs\"\n", "elsewhere/docs"},
        DocsCase{"EscapedQuote", "XDG_DOCUMENTS_DIR=\"$HOME/a \\\"b\\\"\"\n", "home/a \"b\""},
        DocsCase{"HomeItself", "XDG_DOCUMENTS_DIR=\"$HOME\"\n", "home"},
        DocsCase{"RelativeIsIgnored", "XDG_DOCUMENTS_DIR=\"Docs\"\n", "home/Documents"},
        DocsCase{"OtherVariableOnly", "XDG_DOWNLOAD_DIR=\"$HOME/Down\"\n", "home/Documents"},
        DocsCase{"HomePrefixOfLongerName", "XDG_DOCUMENTS_DIR=\"$HOMER/x\"\n", "home/Documents"}),
    [](const testing::TestParamInfo<DocsCase>& i) { return std::string(i.param.name); });

TEST_F(Folders, ConfigHomeVariableChoosesUserDirs) {
    writeBytes(home / ".config" / "user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Ignored\"\n");
    fs::create_directories(tmp / "cfg");
    writeBytes(tmp / "cfg" / "user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Chosen\"\n");
    ScopedEnv cfg("XDG_CONFIG_HOME", (tmp / "cfg").c_str());
    EXPECT_EQ(kavrel::os::dataFolder(), home / "Chosen" / "Drovik Morv TZ814" / "");
}

TEST_F(Folders, DeviceFoldersAreCreatedOnEveryCall) {
    for (const char* prefix : {"kb", "ms", "mp"}) {
        fs::path expected = home / "Documents" / "Drovik Morv TZ814" / prefix / "";
        EXPECT_EQ(kavrel::os::deviceFolder(prefix), expected);
        EXPECT_TRUE(fs::is_directory(expected));
        fs::remove_all(home / "Documents");
        EXPECT_EQ(kavrel::os::deviceFolder(prefix), expected);
        EXPECT_TRUE(fs::is_directory(expected)) << "not recreated";
    }
}

TEST_F(Folders, UncreatableFolderStillGivesThePath) {
    writeBytes(home / "Documents", "a file where the folder should be");
    EXPECT_EQ(kavrel::os::dataFolder(), home / "Documents" / "Drovik Morv TZ814" / "");
}

TEST(ProgramFolder, OverrideEndsWithSeparatorAndResets) {
    kavrel::os::setProgramFolder("/some/where");
    EXPECT_EQ(kavrel::os::programFolder(), fs::path("/some/where/"));
    kavrel::os::setProgramFolder("/some/where/");
    EXPECT_EQ(kavrel::os::programFolder(), fs::path("/some/where/"));
    kavrel::os::setProgramFolder({});
    EXPECT_NE(kavrel::os::programFolder(), fs::path("/some/where/"));
}

// Runs a copy of the probe program from folder and returns what programFolder() gave it.
std::string probeFrom(const fs::path& folder) {
    fs::create_directories(folder);
    fs::copy_file(KAVREL_OS_PROBE, folder / "probe", fs::copy_options::overwrite_existing);
    std::string out;
    if (FILE* p = ::popen((folder / "probe").c_str(), "r")) {
        std::array<char, 512> buf{};
        while (std::fgets(buf.data(), int(buf.size()), p)) out += buf.data();
        EXPECT_EQ(::pclose(p), 0);
    }
    return out;
}

TEST(ProgramFolder, ExecutableFolderWhenItHoldsSkin) {
    TempDir tmp;
    fs::create_directories(tmp / "withskin" / "skin");
    EXPECT_EQ(probeFrom(tmp / "withskin"), (tmp / "withskin" / "").string());
    writeBytes(tmp / "fileskin" / "skin", "not a folder");
    EXPECT_EQ(probeFrom(tmp / "fileskin"), (fs::path(KAVREL_OS_DATADIR) / "").string());
    EXPECT_EQ(probeFrom(tmp / "noskin"), (fs::path(KAVREL_OS_DATADIR) / "").string());
}

} // namespace
