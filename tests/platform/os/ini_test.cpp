// Profile-string reads, writes and the decimal conversion, on real files in a temp folder.
#include "kavrel/os/ini.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <random>
#include <thread>
#include <sys/stat.h>

namespace {

using kavrel::os::findProfileString;
using kavrel::os::profileInt;
using kavrel::os::readProfileInt;
using kavrel::os::readProfileString;
using kavrel::os::writeProfileString;
using kavrel::test::readBytes;
using kavrel::test::TempDir;
using kavrel::test::writeBytes;
using namespace std::string_literals;

// UTF-16LE bytes of a UTF-16 literal (include u"\uFEFF" for the byte-order mark).
std::string le16(std::u16string_view s) {
    std::string out;
    for (char16_t c : s) {
        out.push_back(char(c & 0xFF));
        out.push_back(char(c >> 8));
    }
    return out;
}

std::string repeat(std::string_view s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out.append(s);
    return out;
}

struct ReadCase {
    const char* name;
    std::string file;
    std::string section, key;
    std::string expected; // with the default "dflt"
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class IniRead : public testing::TestWithParam<ReadCase> {};

TEST_P(IniRead, FindsValueOrDefault) {
    TempDir dir;
    const ReadCase& c = GetParam();
    writeBytes(dir / "f.ini", c.file);
    EXPECT_EQ(readProfileString(dir / "f.ini", c.section, c.key, "dflt"), c.expected);
}

const std::string kLongA = repeat("a", 300);
const std::string kLongHan = repeat("\xE4\xB8\xAD", 300); // U+4E2D, three bytes each

INSTANTIATE_TEST_SUITE_P(
    Cases, IniRead,
    testing::Values(
        ReadCase{"Plain", "[S]\r\nk=v\r\n", "S", "k", "v"},
        ReadCase{"LfOnly", "[S]\nk=v\n", "S", "k", "v"},
        ReadCase{"NoFinalNewline", "[S]\r\nk=v", "S", "k", "v"},
        ReadCase{"CaseOfSectionAndKey", "[Profile]\nCount=3\n", "PROFILE", "count", "3"},
        ReadCase{"BlanksAroundNamesAndValues", "  [ S ]  \n\t k \t=  a b  \n", "S", "k", "a b"},
        ReadCase{"BlankNamesAsked", "[S]\nk=v\n", " S ", " k ", "v"},
        ReadCase{"QuotesStripped", "[S]\nk=\" a \"\nq='x'\n", "S", "k", " a "},
        ReadCase{"LoneQuoteKept", "[S]\nk=\"a\n", "S", "k", "\"a"},
        ReadCase{"EqualsInValue", "[S]\nk=a=b\n", "S", "k", "a=b"},
        ReadCase{"EmptyValue", "[S]\nk=\n", "S", "k", ""},
        ReadCase{"BlankValue", "[S]\nk= \n", "S", "k", ""},
        ReadCase{"MissingKey", "[S]\nother=1\n", "S", "k", "dflt"},
        ReadCase{"MissingSection", "[T]\nk=1\n", "S", "k", "dflt"},
        ReadCase{"KeyOfNextSectionNotSeen", "[S]\na=1\n[T]\nk=2\n", "S", "k", "dflt"},
        ReadCase{"FirstDuplicateKeyWins", "[S]\nk=1\nK=2\n", "S", "k", "1"},
        ReadCase{"FirstDuplicateSectionWins", "[S]\na=1\n[s]\nk=2\n", "S", "k", "dflt"},
        ReadCase{"KeyBeforeAnySection", "k=1\n[S]\na=2\n", "S", "k", "dflt"},
        ReadCase{"CommentIsNoKey", "[S]\n;k=1\n k=2\n", "S", "k", "2"},
        ReadCase{"LineWithoutEqualsIsNoKey", "[S]\nk\nk=2\n", "S", "k", "2"},
        ReadCase{"HeaderWithoutBracketIsNoHeader", "[S]\n[T\nk=1\n", "S", "k", "1"},
        ReadCase{"Utf8Bom", "\xEF\xBB\xBF[S]\r\nk=v\r\n", "S", "k", "v"},
        ReadCase{"Utf8Text", "[S]\nk=\xE4\xB8\xAD\xE6\x96\x87\n", "S", "k", "\xE4\xB8\xAD\xE6\x96\x87"},
        ReadCase{"Utf16LeCrLf", le16(u"\uFEFF[S]\r\nk=\u4E2D\u6587\r\n"), "S", "k", "\xE4\xB8\xAD\xE6\x96\x87"},
        ReadCase{"Utf16LeLfNoFinalNewline", le16(u"\uFEFF[S]\nx=1\nk=\U0001F600"), "S", "k", "\xF0\x9F\x98\x80"},
        ReadCase{"Utf16LeLoneSurrogate", le16(u"\uFEFF[S]\nk=a") + "\x00\xD8"s + le16(u"b\n"), "S", "k",
                 "a\xEF\xBF\xBD" "b"},
        ReadCase{"Utf16WithoutBomIsNotDecoded", le16(u"[S]\nk=v\n"), "S", "k", "dflt"},
        ReadCase{"NulEndsValue", "[S]\nk=ab\0cd\n"s, "S", "k", "ab"},
        ReadCase{"NulElsewhereHarmless", "\0\0[S]\0\n[S]\nj\0=1\nk=v\n"s, "S", "k", "v"},
        ReadCase{"CutAt259", "[S]\nk=" + kLongA + "\n", "S", "k", repeat("a", 259)},
        ReadCase{"CutAt259CodePoints", "[S]\nk=" + kLongHan + "\n", "S", "k", repeat("\xE4\xB8\xAD", 259)},
        ReadCase{"Exactly259Kept", "[S]\nk=" + repeat("b", 259) + "\n", "S", "k", repeat("b", 259)},
        ReadCase{"MegabyteLineSkipped", "[S]\njunk=" + repeat("x", 1 << 20) + "\nk=v\n", "S", "k", "v"},
        ReadCase{"EmptyFile", "", "S", "k", "dflt"}),
    [](const testing::TestParamInfo<ReadCase>& i) { return std::string(i.param.name); });

TEST(IniReadFile, UnreadablePathsGiveTheDefault) {
    TempDir dir;
    std::filesystem::create_directory(dir / "adir");
    writeBytes(dir / "plain", "x");
    for (auto p : {dir / "missing.ini", dir / "adir", dir / "plain" / "below.ini"}) {
        EXPECT_EQ(readProfileString(p, "S", "k", "dflt"), "dflt") << p;
        EXPECT_EQ(readProfileString(p, "S", "k"), "0") << p;
        std::string out = "untouched";
        EXPECT_FALSE(findProfileString(p, "S", "k", out));
        EXPECT_EQ(out, "untouched");
    }
}

TEST(IniReadFile, DefaultIsCutToo) {
    EXPECT_EQ(readProfileString("/nonexistent/f.ini", "S", "k", kLongA), repeat("a", 259));
}

TEST(IniReadFile, BinaryGarbageReadsAsDefaults) {
    TempDir dir;
    std::mt19937 rng(7);
    std::string bytes(64 * 1024, '\0');
    for (char& c : bytes) c = char(rng());
    for (std::string prefix : {""s, "\xFF\xFE"s, "\xEF\xBB\xBF"s}) {
        writeBytes(dir / "g.ini", prefix + bytes);
        EXPECT_EQ(readProfileString(dir / "g.ini", "PROFILECOUNT", "count", "dflt"), "dflt");
    }
}

// Reads keep no content: each change to the file, however made, shows on the next read.
TEST(IniReadFile, SeesEveryChangeAtOnce) {
    TempDir dir;
    const auto file = dir / "f.ini";
    struct Step {
        const char* what;
        std::function<void()> change;
        std::string expected;
    };
    const std::string big = "[S]\n" + repeat("pad=" + repeat("p", 60) + "\n", 2000) + "k=grown\n";
    const Step steps[] = {
        {"created", [&] { writeBytes(file, "[S]\nk=1\n"); }, "1"},
        {"rewritten in place, same size", [&] { writeBytes(file, "[S]\nk=2\n"); }, "2"},
        {"renamed over", [&] { writeBytes(dir / "new", "[S]\nk=3\n"); std::filesystem::rename(dir / "new", file); }, "3"},
        {"written through the layer", [&] { ASSERT_TRUE(writeProfileString(file, "S", "k", "4")); }, "4"},
        {"removed", [&] { std::filesystem::remove(file); }, "dflt"},
        {"made a folder", [&] { std::filesystem::create_directory(file); }, "dflt"},
        {"a file again", [&] { std::filesystem::remove(file); writeBytes(file, "[S]\nk=5\n"); }, "5"},
        {"grown past the read buffer", [&] { writeBytes(file, big); }, "grown"},
        {"truncated", [&] { writeBytes(file, "[S]\n"); }, "dflt"},
    };
    for (const Step& step : steps) {
        step.change();
        EXPECT_EQ(readProfileString(file, "S", "k", "dflt"), step.expected) << step.what;
    }
}

std::size_t openDescriptors() {
    std::size_t n = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
    return n;
}

TEST(IniReadFile, KeepsFewDescriptorsAndNoneAfterItsThread) {
    TempDir dir;
    for (int i = 0; i < 20; ++i) writeBytes(dir / (std::to_string(i) + ".ini"), "[S]\nk=" + std::to_string(i) + "\n");
    const std::size_t before = openDescriptors();
    std::size_t during = 0;
    std::thread reader([&] {
        for (int round = 0; round < 3; ++round)
            for (int i = 0; i < 20; ++i)
                EXPECT_EQ(readProfileInt(dir / (std::to_string(i) + ".ini"), "S", "k"), i);
        during = openDescriptors();
    });
    reader.join();
    EXPECT_LE(during, before + 4);
    EXPECT_EQ(openDescriptors(), before);
}

TEST(IniReadFile, FindTellsEmptyValueFromMissingKey) {
    TempDir dir;
    writeBytes(dir / "f.ini", "[S]\nk=\n");
    std::string out = "x";
    EXPECT_TRUE(findProfileString(dir / "f.ini", "S", "k", out));
    EXPECT_EQ(out, "");
    EXPECT_FALSE(findProfileString(dir / "f.ini", "S", "other", out));
}

struct IntCase {
    const char* text;
    int expected;
};

TEST(ProfileInt, DecimalPrefix) {
    const IntCase cases[] = {
        {"12abc", 12}, {"abc", 0},  {" -2", -2},   {"+7", 7},     {"", 0},      {" \t 42", 42},
        {"-", 0},      {"- 3", 0},  {"1 2", 1},    {"0x10", 0},   {"007", 7},   {"--1", 0},
        {"2147483647", INT_MAX},    {"99999999999999999999", INT_MAX},          {"-2147483648", INT_MIN},
        {"-99999999999", INT_MIN},
    };
    for (const IntCase& c : cases) EXPECT_EQ(profileInt(c.text), c.expected) << '"' << c.text << '"';
}

TEST(ProfileInt, ReadsThroughTheFile) {
    TempDir dir;
    writeBytes(dir / "f.ini", "[S]\nn= 12abc\nz=abc\n");
    EXPECT_EQ(readProfileInt(dir / "f.ini", "S", "n"), 12);
    EXPECT_EQ(readProfileInt(dir / "f.ini", "S", "z"), 0);
    EXPECT_EQ(readProfileInt(dir / "f.ini", "S", "missing"), 0);
    EXPECT_EQ(readProfileInt(dir / "missing.ini", "S", "n"), 0);
}

struct WriteCase {
    const char* name;
    std::optional<std::string> before; // nullopt: no file yet
    std::string section, key, value;
    std::string after;
    std::string readBack; // what a read of section/key gives afterwards
};

void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.name; }

class IniWrite : public testing::TestWithParam<WriteCase> {};

TEST_P(IniWrite, ChangesOnlyItsLine) {
    TempDir dir;
    const WriteCase& c = GetParam();
    if (c.before) writeBytes(dir / "f.ini", *c.before);
    ASSERT_TRUE(writeProfileString(dir / "f.ini", c.section, c.key, c.value));
    EXPECT_EQ(readBytes(dir / "f.ini"), c.after);
    EXPECT_EQ(readProfileString(dir / "f.ini", c.section, c.key, "dflt"), c.readBack);
}

const std::string kMegaLine = "junk=" + repeat("y", 1 << 20) + "\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, IniWrite,
    testing::Values(
        WriteCase{"CreatesFile", std::nullopt, "S", "k", "v", "[S]\r\nk=v\r\n", "v"},
        WriteCase{"ReplacesInPlace", "[S]\r\na=1\r\nk=old\r\nb=2\r\n", "S", "k", "v", "[S]\r\na=1\r\nk=v\r\nb=2\r\n", "v"},
        WriteCase{"KeepsKeySpellingAndOtherLfLines", "; top\n[s]\n  KEY = old \nb=2\n", "S", "key", "v",
                  "; top\n[s]\nKEY=v\r\nb=2\n", "v"},
        WriteCase{"AppendsKeyAtEndOfSection", "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n", "a", "k", "v",
                  "[A]\r\nx=1\r\nk=v\r\n\r\n[B]\r\ny=2\r\n", "v"},
        WriteCase{"AppendsKeyAfterHeaderOfEmptySection", "[A]\n; note\n[B]\n", "A", "k", "v",
                  "[A]\nk=v\r\n; note\n[B]\n", "v"},
        WriteCase{"AppendsSectionAtEnd", "[A]\nx=1\n", "S", "k", "v", "[A]\nx=1\n[S]\r\nk=v\r\n", "v"},
        WriteCase{"TerminatesLastLineBeforeAppendingKey", "[A]\nx=1", "A", "k", "v", "[A]\nx=1\r\nk=v\r\n", "v"},
        WriteCase{"TerminatesLastLineBeforeAppendingSection", "[A]\nx=1", "B", "k", "v",
                  "[A]\nx=1\r\n[B]\r\nk=v\r\n", "v"},
        WriteCase{"TerminatesHeaderWithoutNewline", "[A]", "A", "k", "v", "[A]\r\nk=v\r\n", "v"},
        WriteCase{"FirstDuplicateSectionGetsTheKey", "[A]\nx=1\n[A]\nk=2\n", "A", "k", "v",
                  "[A]\nx=1\nk=v\r\n[A]\nk=2\n", "v"},
        WriteCase{"FirstDuplicateKeyReplaced", "[A]\nk=1\nk=2\n", "A", "k", "v", "[A]\nk=v\r\nk=2\n", "v"},
        WriteCase{"KeyBeforeAnySectionUntouched", "k=0\n[A]\n", "A", "k", "v", "k=0\n[A]\nk=v\r\n", "v"},
        WriteCase{"ValueWrittenAsGivenReadTrimmed", "[A]\nk=x\n", "A", "k", " ", "[A]\nk= \r\n", ""},
        WriteCase{"NamesTrimmed", "", " A ", " k ", "v", "[A]\r\nk=v\r\n", "v"},
        WriteCase{"Utf8BomKept", "\xEF\xBB\xBF[A]\r\nk=1\r\n", "A", "k", "v", "\xEF\xBB\xBF[A]\r\nk=v\r\n", "v"},
        WriteCase{"Utf16StaysUtf16", le16(u"\uFEFF[A]\nk=1\nz=\u4E2D\n"), "A", "k", "\xE6\x96\x87",
                  le16(u"\uFEFF[A]\nk=\u6587\r\nz=\u4E2D\n"), "\xE6\x96\x87"},
        WriteCase{"Utf16AppendsSection", le16(u"\uFEFF[A]\r\nx=1"), "B", "k", "v",
                  le16(u"\uFEFF[A]\r\nx=1\r\n[B]\r\nk=v\r\n"), "v"},
        WriteCase{"Utf16TornLastUnitRealigned", le16(u"\uFEFF[A]\nx=1") + "\x41"s, "B", "k", "v",
                  le16(u"\uFEFF[A]\nx=1") + "\x41\x00"s + le16(u"\r\n[B]\r\nk=v\r\n"), "v"},
        WriteCase{"BinaryLinesKept", "\x01\xFF\0\x80garbage\n[A]\nk=\0old\n\xC3\x28\n"s, "A", "k", "v",
                  "\x01\xFF\0\x80garbage\n[A]\nk=v\r\n\xC3\x28\n"s, "v"},
        WriteCase{"MegabyteLineKept", "[A]\n" + kMegaLine + "k=1\n", "A", "k", "v", "[A]\n" + kMegaLine + "k=v\r\n",
                  "v"},
        WriteCase{"LongValueWrittenWhole", "", "A", "k", kLongA, "[A]\r\nk=" + kLongA + "\r\n", repeat("a", 259)}),
    [](const testing::TestParamInfo<WriteCase>& i) { return std::string(i.param.name); });

TEST(IniWriteFile, RefusesWhatWouldNotReadBack) {
    TempDir dir;
    const std::string before = "[A]\nk=1\n";
    writeBytes(dir / "f.ini", before);
    struct Bad {
        std::string section, key, value;
    } cases[] = {
        {"", "k", "v"},     {"  ", "k", "v"},    {"A", "", "v"},       {"A", " ", "v"},   {"A]", "k", "v"},
        {"A\n", "k", "v"},  {"A", "k=x", "v"},   {"A", "[k", "v"},     {"A", ";k", "v"},  {"A", "k", "a\r\nb"},
        {"A", "k", "a\nb"}, {"A", "k", "a\0b"s}, {"A", "k\0"s, "v"},
    };
    for (const Bad& b : cases) {
        EXPECT_FALSE(writeProfileString(dir / "f.ini", b.section, b.key, b.value)) << b.section << '/' << b.key;
        EXPECT_EQ(readBytes(dir / "f.ini"), before);
    }
}

TEST(IniWriteFile, Utf16FileRefusesTextThatIsNotUtf8) {
    TempDir dir;
    const std::string before = le16(u"\uFEFF[A]\r\nk=1\r\n");
    writeBytes(dir / "f.ini", before);
    EXPECT_FALSE(writeProfileString(dir / "f.ini", "A", "k", "\xC3\x28"));
    EXPECT_FALSE(writeProfileString(dir / "f.ini", "\xFF", "k", "v"));
    EXPECT_FALSE(writeProfileString(dir / "f.ini", "A", "\xED\xA0\x80", "v")); // an encoded surrogate
    EXPECT_EQ(readBytes(dir / "f.ini"), before);
    EXPECT_TRUE(writeProfileString(dir / "f.ini", "A", "k", "\xEF\xBF\xBD\xF0\x9F\x98\x80"));
    EXPECT_EQ(readProfileString(dir / "f.ini", "A", "k"), "\xEF\xBF\xBD\xF0\x9F\x98\x80");
}

TEST(IniWriteFile, FailsWhereNoFileCanBe) {
    TempDir dir;
    std::filesystem::create_directory(dir / "adir");
    writeBytes(dir / "adir" / "inside", "keep");
    writeBytes(dir / "plain", "keep");
    EXPECT_FALSE(writeProfileString(dir / "adir", "A", "k", "v"));
    EXPECT_EQ(readBytes(dir / "adir" / "inside"), "keep");
    EXPECT_FALSE(writeProfileString(dir / "plain" / "f.ini", "A", "k", "v"));
    EXPECT_EQ(readBytes(dir / "plain"), "keep");
    EXPECT_FALSE(writeProfileString(dir / "no" / "such" / "f.ini", "A", "k", "v"));
    EXPECT_FALSE(std::filesystem::exists(dir / "no"));
}

TEST(IniWriteFile, ReplacesAtomicallyKeepingModeAndLinks) {
    TempDir dir;
    const auto file = dir / "f.ini";
    writeBytes(file, "[A]\nk=1\n");
    ::chmod(file.c_str(), 0640);
    struct stat before {};
    ::stat(file.c_str(), &before);
    ASSERT_TRUE(writeProfileString(file, "A", "k", "2"));
    struct stat after {};
    ::stat(file.c_str(), &after);
    EXPECT_NE(before.st_ino, after.st_ino) << "written in place, not replaced";
    EXPECT_EQ(after.st_mode & 07777, 0640u);

    std::filesystem::create_symlink("f.ini", dir / "link.ini");
    ASSERT_TRUE(writeProfileString(dir / "link.ini", "A", "j", "3"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.ini"));
    EXPECT_EQ(readBytes(file), "[A]\nk=2\r\nj=3\r\n");

    // No temporary file is left beside it.
    int entries = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path())) ++entries;
    EXPECT_EQ(entries, 2);
}

TEST(IniWriteFile, RepeatedWritesBuildACatalogue) {
    TempDir dir;
    const auto file = dir / "msProfile.ini";
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(writeProfileString(file, "PROFILENAME", std::to_string(i), "name " + std::to_string(i)));
        ASSERT_TRUE(writeProfileString(file, "PROFILECOUNT", "count", std::to_string(i + 1)));
    }
    EXPECT_EQ(readBytes(file), "[PROFILENAME]\r\n0=name 0\r\n1=name 1\r\n2=name 2\r\n[PROFILECOUNT]\r\ncount=3\r\n");
    EXPECT_EQ(readProfileInt(file, "profilecount", "COUNT"), 3);
}

} // namespace
