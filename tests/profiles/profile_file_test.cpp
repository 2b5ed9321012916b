#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

#include "kavrel/profiles/profile_file.h"
#include "temp_home.h"

namespace kavrel::profiles {
namespace {

using test::TempHome;
namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes header(std::uint8_t code = 2) { return {0xAA, 0x55, 0, 0, code, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}; }
Bytes concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class ProfileFileTest : public TempHome {};

struct ReadCase {
    const char* what;
    Bytes file;
    int result;
    Bytes body; // expected body of 4 bytes after the read (the buffer starts as 4 x 0x00)
};

TEST_F(ProfileFileTest, ReadResultsAndBodyFill) {
    const ReadCase cases[] = {
        {"header only", header(), kProfileRead, {0, 0, 0, 0}},
        {"short body keeps the zeroes", concat(header(), {1, 2}), kProfileRead, {1, 2, 0, 0}},
        {"long body is cut", concat(header(), {1, 2, 3, 4, 5, 6}), kProfileRead, {1, 2, 3, 4}},
        {"other device code is accepted", concat(header(9), {7, 7, 7, 7}), kProfileRead, {7, 7, 7, 7}},
        {"reserved bytes are ignored", concat({0xAA, 0x55, 1, 1, 2, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, {5}),
         kProfileRead, {5, 0, 0, 0}},
        {"magic in the wrong order", concat({0x55, 0xAA, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {1, 2, 3, 4}),
         kProfileFormatError, {0, 0, 0, 0}},
        {"ten bytes", {0xAA, 0x55, 0, 0, 2, 0, 0, 0, 0, 0}, kProfileFormatError, {0, 0, 0, 0}},
        {"empty file", {}, kProfileFormatError, {0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path p = root_ / "f.pro";
        writeAll(p, c.file);
        Bytes body(4, 0);
        EXPECT_EQ(ReadProfileFile(p, body), c.result);
        EXPECT_EQ(body, c.body);
    }
}

TEST_F(ProfileFileTest, NothingReadableThereIsMissing) {
    Bytes body(4, 0xEE);
    EXPECT_EQ(ReadProfileFile(root_ / "none.pro", body), kProfileMissing);
    fs::create_directory(root_ / "dir.pro");
    EXPECT_EQ(ReadProfileFile(root_ / "dir.pro", body), kProfileMissing);
    ASSERT_EQ(::mkfifo((root_ / "fifo.pro").c_str(), 0600), 0);
    EXPECT_EQ(ReadProfileFile(root_ / "fifo.pro", body), kProfileMissing); // and does not block
    EXPECT_EQ(body, Bytes(4, 0xEE));
}

TEST_F(ProfileFileTest, WriteLaysOutHeaderAndBody) {
    for (std::uint16_t code : {1, 2, 3}) {
        SCOPED_TRACE(code);
        const fs::path p = root_ / "w.led";
        const Bytes body = {9, 8, 7};
        ASSERT_TRUE(WriteProfileFile(p, body, code));
        EXPECT_EQ(readAll(p), concat(header(static_cast<std::uint8_t>(code)), body));
    }
}

TEST_F(ProfileFileTest, NamesMatchWithoutRegardToCase) {
    writeAll(root_ / "Profile1.PRO", concat(header(), {4}));
    Bytes body(1, 0);
    EXPECT_EQ(ReadProfileFile(root_ / "profile1.pro", body), kProfileRead);
    EXPECT_EQ(body[0], 4);
    // A write under another spelling replaces the existing file instead of adding a twin.
    ASSERT_TRUE(WriteProfileFile(root_ / "PROFILE1.pro", Bytes{5}, 2));
    EXPECT_EQ(readAll(root_ / "Profile1.PRO"), concat(header(), {5}));
    EXPECT_EQ(allFiles(), std::vector<std::string>{"Profile1.PRO"});
}

// Writes that fail part-way leave the previous file whole and no temporary behind.
TEST_F(ProfileFileTest, FailedWriteKeepsThePreviousFile) {
    const fs::path p = root_ / "keep.led";
    const Bytes small(8, 0x11);
    ASSERT_TRUE(WriteProfileFile(p, small, 1));

    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tight = old;
    tight.rlim_cur = 100; // the write of a 1958-byte body stops at 100 bytes
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
    const bool written = WriteProfileFile(p, Bytes(1958, 0x22), 1);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(written);
    EXPECT_EQ(readAll(p), concat(header(1), small));
    EXPECT_EQ(allFiles(), std::vector<std::string>{"keep.led"});

    // A folder that does not exist, and a directory in the file's place.
    EXPECT_FALSE(WriteProfileFile(root_ / "no" / "such.led", small, 1));
    fs::create_directories(root_ / "taken.led" / "inside");
    EXPECT_FALSE(WriteProfileFile(root_ / "taken.led", small, 1));
    EXPECT_EQ(allFiles(), std::vector<std::string>{"keep.led"});
}

} // namespace
} // namespace kavrel::profiles
