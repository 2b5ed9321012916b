// kavrel-devsim as its own process, driven over its device sockets and its standard input.
#include <gtest/gtest.h>

#include <sys/prctl.h>

#include <fstream>
#include <sstream>

#include "kavrel/sim/descriptor.h"
#include "sim_process.h"

using namespace simtest;
namespace fs = std::filesystem;

namespace {

std::string readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

// The text of "key": "..." inside the object of a device in a state dump.
std::string dumpField(const std::string& json, const std::string& device, const std::string& key) {
    const auto at = json.find("\"" + device + "\": {");
    if (at == std::string::npos) return "<no device>";
    const std::string marker = "\"" + key + "\": ";
    const auto k = json.find(marker, at);
    if (k == std::string::npos) return "<no key>";
    const auto start = k + marker.size();
    if (json[start] == '"') return json.substr(start + 1, json.find('"', start + 1) - start - 1);
    return json.substr(start, json.find_first_of(",}\n", start) - start);
}

Bytes payloadOf(const Bytes& answer, std::size_t n) { return Bytes(answer.begin() + 8, answer.begin() + 8 + static_cast<long>(n)); }

} // namespace

TEST(SimProcess, ServesEveryDeviceWithItsFilesAndInformation) {
    Process p;
    ASSERT_TRUE(p.start({"--device", "mouse", "--device", "keyboard", "--device", "pad", "--device", "foreign",
                         "--key-slots", "keyboard:120"}));
    struct Case {
        std::string name;
        kavrel::sim::Model model;
        std::string pid;
        int keySlots;
        int sensor;
    };
    const Case cases[] = {{"mouse", kavrel::sim::Model::Mouse, "7643", 8, 0x3389},
                          {"keyboard", kavrel::sim::Model::Keyboard, "6556", 120, 0},
                          {"pad", kavrel::sim::Model::Pad, "5004", 0, 0},
                          {"foreign", kavrel::sim::Model::Foreign, "7000", 8, 0x3389}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string info = readFile(p.dir() + "/" + c.name + ".info");
        EXPECT_NE(info.find("vid=0c45\n"), std::string::npos) << info;
        EXPECT_NE(info.find("pid=" + c.pid + "\n"), std::string::npos) << info;
        const auto rdesc = kavrel::sim::reportDescriptor(c.model);
        EXPECT_EQ(readFile(p.dir() + "/" + c.name + ".rdesc"), std::string(rdesc.begin(), rdesc.end()));

        Client client(p.sock(c.name));
        ASSERT_TRUE(client.connected());
        const auto r = client.exchange(frame(0x03, 0x21, 0));
        EXPECT_EQ(r.ack, 0);
        ASSERT_TRUE(r.answer);
        ASSERT_EQ(r.answer->size(), 64u);
        EXPECT_EQ((*r.answer)[7], 0);
        EXPECT_EQ((*r.answer)[8 + 5], c.keySlots);
        EXPECT_EQ((*r.answer)[8 + 9] | ((*r.answer)[8 + 10] << 8), c.sensor);
    }
    EXPECT_EQ(p.command("quit"), "ok");
    EXPECT_EQ(p.wait(), 0);
    // Every file of every device is gone.
    EXPECT_TRUE(fs::is_empty(p.dir()));
}

TEST(SimProcess, WritesReadBackAndBadChecksumsAreRefused) {
    Process p;
    ASSERT_TRUE(p.start({}));
    Client c(p.sock("mouse"));
    ASSERT_TRUE(c.connected());

    Bytes record(56);
    for (std::size_t i = 0; i < record.size(); ++i) record[i] = static_cast<std::uint8_t>(0xA0 + i);
    auto w = c.exchange(frame(0x06, 56, 128, record));
    ASSERT_TRUE(w.answer);
    EXPECT_EQ((*w.answer)[7], 0);
    auto r = c.exchange(frame(0x05, 56, 128));
    ASSERT_TRUE(r.answer);
    EXPECT_EQ(payloadOf(*r.answer, 56), record);
    // The answer echoes command, length and address.
    EXPECT_EQ(Bytes(r.answer->begin() + 3, r.answer->begin() + 7), (Bytes{0x05, 56, 128, 0}));

    Bytes bad = frame(0x06, 1, 0, {4});
    bad[2] ^= 0x80;
    auto b = c.exchange(bad);
    EXPECT_EQ(b.ack, 0) << "the report itself was taken";
    ASSERT_TRUE(b.answer);
    EXPECT_EQ((*b.answer)[7], 0xFF);
    auto active = c.exchange(frame(0x05, 1, 0));
    ASSERT_TRUE(active.answer);
    EXPECT_EQ((*active.answer)[8], 0) << "the refused frame changed the active record";

    // A vendor report of the wrong length is a failed write; a report id the device lacks too.
    Bytes shortReport = frame(0x01, 0, 0);
    shortReport.pop_back();
    EXPECT_EQ(c.exchange(shortReport, 300).ack, 1);
    EXPECT_EQ(c.exchange(Bytes{0x01, 0x02}, 300).ack, 1);
}

namespace {

// One frame of a fault case: what its write reports and the answer status (-1: no answer).
struct Step {
    int ack;
    int status;
};
struct FaultCase {
    const char* name;
    std::vector<std::string> args;
    std::vector<Step> steps;
};

} // namespace

class SimFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(SimFaults, FramesAreAnsweredAsTheOptionsSay) {
    const FaultCase& fc = GetParam();
    Process p;
    ASSERT_TRUE(p.start(fc.args));
    Client c(p.sock("mouse"));
    ASSERT_TRUE(c.connected());
    for (std::size_t i = 0; i < fc.steps.size(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(i + 1));
        // Each frame writes its own number as the active record, so a refused frame shows.
        const auto r = c.exchange(frame(0x06, 1, 0, {static_cast<std::uint8_t>(i + 1)}), 350);
        EXPECT_EQ(r.ack, fc.steps[i].ack);
        if (fc.steps[i].status < 0) {
            EXPECT_FALSE(r.answer);
        } else {
            ASSERT_TRUE(r.answer);
            EXPECT_EQ((*r.answer)[7], fc.steps[i].status);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Options, SimFaults,
    ::testing::Values(FaultCase{"statusFE", {"--status-fe", "3"}, {{0, 0}, {0, 0}, {0, 0xFE}, {0, 0}}},
                      FaultCase{"statusFF", {"--status-ff", "1", "--status-ff", "2"}, {{0, 0xFF}, {0, 0xFF}, {0, 0}}},
                      FaultCase{"noAnswerFirst", {"--no-answer-first", "2"}, {{0, -1}, {0, -1}, {0, 0}}},
                      FaultCase{"noAnswer", {"--no-answer"}, {{0, -1}, {0, -1}}},
                      FaultCase{"failWrite", {"--fail-write", "2"}, {{0, 0}, {1, -1}, {0, 0}}},
                      FaultCase{"otherDevice", {"--status-fe", "pad:1", "--device", "mouse", "--device", "pad"},
                                {{0, 0}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SimProcess, RefusedFramesAreNotCarriedOut) {
    Process p;
    ASSERT_TRUE(p.start({"--status-fe", "1", "--fail-write", "2"}));
    Client c(p.sock("mouse"));
    c.exchange(frame(0x06, 1, 0, {1}));
    c.exchange(frame(0x06, 1, 0, {2}), 300);
    const auto r = c.exchange(frame(0x05, 1, 0));
    ASSERT_TRUE(r.answer);
    EXPECT_EQ((*r.answer)[8], 0);
}

TEST(SimProcess, LateAnswerArrivesAfterTheReadTimeOut) {
    Process p;
    ASSERT_TRUE(p.start({"--late-answer", "1"}));
    Client c(p.sock("mouse"));
    const auto first = c.exchange(frame(0x05, 1, 0), 300);
    EXPECT_EQ(first.ack, 0);
    EXPECT_FALSE(first.answer);
    // The retry is answered at once; the late answer of the first frame follows it.
    const auto retry = c.exchange(frame(0x03, 0x21, 0), 300);
    ASSERT_TRUE(retry.answer);
    EXPECT_EQ((*retry.answer)[3], 0x03);
    auto late = c.receive(2000);
    ASSERT_TRUE(late);
    ASSERT_EQ(late->size(), 65u);
    EXPECT_EQ((*late)[0], 'I');
    EXPECT_EQ((*late)[4], 0x05);
}

TEST(SimProcess, DisconnectAfterAFrameUnplugsTheDevice) {
    Process p;
    ASSERT_TRUE(p.start({"--disconnect-after", "2"}));
    {
        Client c(p.sock("mouse"));
        EXPECT_TRUE(c.exchange(frame(0x06, 1, 0, {2})).answer);
        const auto second = c.exchange(frame(0x01, 0, 0));
        ASSERT_TRUE(second.answer) << "frame 2 is answered before the unplug";
        const auto end = c.receive(2000);
        ASSERT_TRUE(end);
        EXPECT_TRUE(end->empty()) << "the connection is closed";
        EXPECT_FALSE(fs::exists(p.sock("mouse")));
        EXPECT_FALSE(Client(p.sock("mouse")).connected());
    }
    // Plugged in again, the device keeps its memory and its frame count.
    EXPECT_EQ(p.command("plug mouse"), "ok");
    Client again(p.sock("mouse"));
    const auto r = again.exchange(frame(0x05, 1, 0));
    ASSERT_TRUE(r.answer);
    EXPECT_EQ((*r.answer)[8], 2);
}

TEST(SimProcess, UnplugAndPlugCommands) {
    Process p;
    ASSERT_TRUE(p.start({"--device", "mouse", "--device", "keyboard"}));
    Client c(p.sock("keyboard"));
    ASSERT_TRUE(c.connected());
    EXPECT_EQ(p.command("unplug keyboard"), "ok");
    EXPECT_FALSE(fs::exists(p.sock("keyboard")));
    EXPECT_FALSE(fs::exists(p.dir() + "/keyboard.rdesc"));
    const auto end = c.receive(2000);
    ASSERT_TRUE(end);
    EXPECT_TRUE(end->empty());
    EXPECT_TRUE(fs::exists(p.sock("mouse"))) << "the other device stays";

    EXPECT_EQ(p.command("unplug keyboard").rfind("error:", 0), 0u);
    EXPECT_EQ(p.command("plug keyboard"), "ok");
    EXPECT_EQ(p.command("plug keyboard").rfind("error:", 0), 0u);
    EXPECT_TRUE(Client(p.sock("keyboard")).exchange(frame(0x01, 0, 0)).answer);
    EXPECT_EQ(p.command("unplug tablet").rfind("error:", 0), 0u);
    EXPECT_EQ(p.command("frobnicate").rfind("error:", 0), 0u);
}

TEST(SimProcess, AnnouncementsReachEveryConnection) {
    Process p;
    ASSERT_TRUE(p.start({"--device", "mouse", "--device", "keyboard"}));
    Client vendor(p.sock("mouse"));
    Client consumer(p.sock("mouse"));
    Client keyboard(p.sock("keyboard"));
    EXPECT_EQ(p.command("announce mouse 0x401"), "ok");
    for (Client* c : {&vendor, &consumer}) {
        EXPECT_EQ(c->receive(2000), (Bytes{'I', 0x03, 0x01, 0x04}));
        EXPECT_EQ(c->receive(2000), (Bytes{'I', 0x03, 0x00, 0x00})) << "the release follows";
    }
    EXPECT_FALSE(keyboard.receive(100)) << "another device's announcement";
    EXPECT_EQ(p.command("announce keyboard 402"), "ok");
    EXPECT_EQ(keyboard.receive(2000), (Bytes{'I', 0x03, 0x02, 0x04}));
    EXPECT_EQ(p.command("announce mouse 0xZZ").rfind("error:", 0), 0u);
    EXPECT_EQ(p.command("announce pad 0x401").rfind("error:", 0), 0u);
}

TEST(SimProcess, AClientThatNeverReadsStallsNobody) {
    Process p;
    ASSERT_TRUE(p.start({}));
    Client stalled(p.sock("mouse"));
    Client active(p.sock("mouse"));
    // Far more reports than a socket buffer holds.
    for (int i = 0; i < 1500; ++i) ASSERT_EQ(p.command("announce mouse 0x403"), "ok") << i;
    // The active client drains what it was sent, then exchanges as usual.
    while (auto m = active.receive(50)) ASSERT_FALSE(m->empty());
    EXPECT_TRUE(active.exchange(frame(0x03, 0x21, 0)).answer);
    // The stalled one kept the latest reports, not an unbounded backlog.
    std::size_t kept = 0;
    while (auto m = stalled.receive(50)) kept += !m->empty();
    EXPECT_GT(kept, 0u);
    EXPECT_LT(kept, 1000u) << "of 3000 reports sent";
}

TEST(SimProcess, DumpHoldsWhatReachedTheDevice) {
    Process p;
    const std::string atExit = p.dir() + "/exit.json";
    ASSERT_TRUE(p.start({"--device", "mouse", "--device", "pad", "--dump", atExit}));
    Client c(p.sock("mouse"));
    const Bytes write = frame(0x06, 2, 64 + 10, {0xBE, 0xEF});
    const auto w = c.exchange(write);
    ASSERT_TRUE(w.answer);
    Bytes light(45);
    for (std::size_t i = 0; i < light.size(); ++i) light[i] = static_cast<std::uint8_t>(i + 1);
    Client pad(p.sock("pad"));
    ASSERT_TRUE(pad.exchange(frame(0x12, 45, 0, light)).answer);
    EXPECT_EQ(p.command("announce mouse 0x403"), "ok");

    const std::string file = p.dir() + "/now.json";
    EXPECT_EQ(p.command("dump " + file), "ok");
    const std::string json = readFile(file);
    EXPECT_EQ(dumpField(json, "mouse", "vid"), "3141");
    EXPECT_EQ(dumpField(json, "mouse", "pid"), "30275");
    EXPECT_EQ(dumpField(json, "pad", "pid"), "20484");
    const std::string records = dumpField(json, "mouse", "records");
    ASSERT_EQ(records.size(), 2u * 320);
    EXPECT_EQ(records.substr(2 * 74, 4), "beef");
    EXPECT_EQ(dumpField(json, "pad", "lighting"), hex(light));
    EXPECT_EQ(dumpField(json, "mouse", "announcements"), "[1027]");
    EXPECT_EQ(dumpField(json, "mouse", "frameCount"), "1");
    EXPECT_NE(json.find("{\"out\": \"" + hex(write) + "\", \"in\": \"" + hex(*w.answer) + "\"}"), std::string::npos)
        << json.substr(0, 2000);

    // Without a file the dump comes as one reply line; the --dump file is written at exit.
    EXPECT_EQ(p.command("dump"), "ok");
    EXPECT_TRUE(fs::exists(atExit));
    fs::remove(atExit);
    kill(p.pid(), SIGTERM);
    EXPECT_EQ(p.wait(), 0);
    EXPECT_NE(readFile(atExit).find("beef"), std::string::npos);
    EXPECT_FALSE(fs::exists(p.sock("mouse")));
}

TEST(SimProcess, DumpToStandardOutput) {
    Process p;
    ASSERT_TRUE(p.start({}));
    const std::string json = p.command("dump");
    EXPECT_EQ(json.rfind("{", 0), 0u) << json.substr(0, 200);
    EXPECT_EQ(json.back(), '}') << "the whole dump is one line";
    EXPECT_EQ(dumpField(json, "mouse", "plugged"), "true");
    // The emulator still takes commands after it.
    EXPECT_EQ(p.command("unplug mouse"), "ok");
}

TEST(SimProcess, EndOfInputEndsOnlyWhenAsked) {
    Process stays;
    ASSERT_TRUE(stays.start({}));
    stays.closeStdin();
    EXPECT_TRUE(Client(stays.sock("mouse")).exchange(frame(0x01, 0, 0)).answer);
    EXPECT_FALSE(stays.wait(300));

    Process ends;
    ASSERT_TRUE(ends.start({"--exit-on-eof"}));
    ends.closeStdin();
    EXPECT_EQ(ends.wait(), 0);
    EXPECT_FALSE(fs::exists(ends.sock("mouse")));
}

TEST(SimProcess, SecondEmulatorOnTheSameDeviceIsRefused) {
    Process first;
    ASSERT_TRUE(first.start({}));
    Process second;
    // Same folder: start() fails as no "ready" comes.
    const std::string dir = first.dir();
    pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        execl(kDevsim.c_str(), kDevsim.c_str(), "--dir", dir.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_TRUE(Client(first.sock("mouse")).exchange(frame(0x01, 0, 0)).answer) << "the first one still serves";

    // A socket left behind by a killed emulator does not stop a new one.
    kill(first.pid(), SIGKILL);
    first.wait();
    ASSERT_TRUE(fs::exists(first.sock("mouse")));
    Process third;
    fs::remove_all(third.dir());
    fs::create_directory_symlink(dir, third.dir());
    ASSERT_TRUE(third.start({}));
    EXPECT_TRUE(Client(third.sock("mouse")).exchange(frame(0x01, 0, 0)).answer);
}

TEST(SimProcess, ParentDeathEndsTheEmulator) {
    Process p; // only for its folder
    int outPipe[2];
    ASSERT_EQ(pipe(outPipe), 0);
    const pid_t middle = fork();
    if (middle == 0) {
        // The emulator's parent: start it, wait for its ready line, then die.
        const pid_t sim = fork();
        if (sim == 0) {
            dup2(outPipe[1], STDOUT_FILENO);
            close(outPipe[0]);
            close(outPipe[1]);
            execl(kDevsim.c_str(), kDevsim.c_str(), "--dir", p.dir().c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        char ready[6];
        _exit(read(outPipe[0], ready, sizeof ready) == 6 ? 0 : 1);
    }
    close(outPipe[1]);
    int status = 0;
    waitpid(middle, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0) << "the emulator did not get ready";
    // The emulator's end closes its output; its socket goes with it.
    pollfd pfd{outPipe[0], POLLIN, 0};
    char b[64];
    bool ended = false;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!ended && std::chrono::steady_clock::now() < end) {
        if (poll(&pfd, 1, 100) > 0) ended = read(outPipe[0], b, sizeof b) == 0;
    }
    close(outPipe[0]);
    EXPECT_TRUE(ended);
    EXPECT_TRUE(eventually([&] { return !fs::exists(p.sock("mouse")); }));
}

TEST(SimProcess, UsbTimingModelDelaysEveryReport) {
    Process p;
    ASSERT_TRUE(p.start({"--usb-interval-ms", "40"}));
    Client c(p.sock("mouse"));
    const auto sent = std::chrono::steady_clock::now();
    ASSERT_TRUE(c.sendOutput(frame(0x01, 0, 0)));
    ASSERT_TRUE(c.receive(2000));
    const auto acked = std::chrono::steady_clock::now();
    ASSERT_TRUE(c.receive(2000));
    const auto answered = std::chrono::steady_clock::now();
    // Lower bounds only: the write takes one interval and the answer another.
    EXPECT_GE(acked - sent, std::chrono::milliseconds(40));
    EXPECT_GE(answered - sent, std::chrono::milliseconds(80));
}

TEST(SimProcess, HelpDescribesTheCommandLine) {
    Process p;
    int outPipe[2];
    ASSERT_EQ(pipe(outPipe), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(outPipe[1], STDOUT_FILENO);
        execl(kDevsim.c_str(), kDevsim.c_str(), "--help", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(outPipe[1]);
    std::string text;
    char b[4096];
    ssize_t n;
    while ((n = read(outPipe[0], b, sizeof b)) > 0) text.append(b, static_cast<std::size_t>(n));
    close(outPipe[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    for (const char* word : {"--device", "--no-answer-first", "--status-ff", "--status-fe", "--fail-write",
                             "--late-answer", "--disconnect-after", "--usb-interval-ms", "--key-slots",
                             "--macro-units", "--sensor", "--dump", "--exit-on-eof", "announce", "unplug", "plug",
                             "quit"})
        EXPECT_NE(text.find(word), std::string::npos) << word;
}
