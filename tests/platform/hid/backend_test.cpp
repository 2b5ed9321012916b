// The hidraw backend on a fixture sysfs tree with packet-pipe device nodes, and the virtual
// backend against a device that sends short, long and garbled datagrams.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "devsim.h"
#include "kavrel/device/hid_device.h"

using namespace kavrel;
namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path& p, const void* data, std::size_t n) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary).write(static_cast<const char*>(data), static_cast<std::streamsize>(n));
}

void writeFile(const fs::path& p, const std::string& s) { writeFile(p, s.data(), s.size()); }

std::string hidrawPath(const fs::path& dev, const char* node, const char* ids, int col) {
    char tail[16];
    std::snprintf(tail, sizeof tail, "&col%02d", col);
    return (dev / node).string() + "?" + ids + tail;
}

// A sysfs tree and a /dev folder whose nodes are packet-mode pipes: each write is one report,
// each read takes one, as on a hidraw node.
class HidrawFixture : public ::testing::Test {
protected:
    void SetUp() override {
        {
            kavrel::testing::Devsim sim({"--device", "mouse", "--device", "keyboard", "--device", "pad"});
            ASSERT_TRUE(sim.ready());
            for (const char* n : {"mouse", "keyboard", "pad"}) rdesc[n] = readAll(sim.dir() / (std::string(n) + ".rdesc"));
        }
        root = kavrel::testing::makeTempDir("hidraw");
        sys = root / "sys";
        dev = root / "dev";
        fs::create_directories(dev);
        addNode("hidraw0", "0003:00000C45:00007643", rdesc["mouse"]);
        addNode("hidraw1", "0003:00000C45:00006556", rdesc["keyboard"]);
        addNode("hidraw2", "garbled", rdesc["pad"]); // no HID_ID: skipped
        addNode("hidraw3", "0003:00000C45:00005004", {}); // descriptor unreadable: skipped
        fs::remove(sys / "class/hidraw/hidraw3/device/report_descriptor");
        addNode("hidraw10", "0003:00000C45:00005004", rdesc["pad"]);
        hid::Roots r;
        r.sysfs = sys.string();
        r.dev = dev.string();
        r.virtualDevices = false;
        hid::setRoots(r);
    }
    void TearDown() override {
        hid::setRoots({});
        for (auto& [name, p] : pipes) {
            ::close(p[0]);
            ::close(p[1]);
        }
        fs::remove_all(root);
    }

    void addNode(const std::string& name, const std::string& hidId, const Bytes& descriptor) {
        const fs::path d = sys / "class/hidraw" / name / "device";
        writeFile(d / "uevent", "DRIVER=hid-generic\nHID_ID=" + hidId + "\nHID_NAME=fixture\n");
        writeFile(d / "report_descriptor", descriptor.data(), descriptor.size());
        std::array<int, 2> p{};
        ASSERT_EQ(::pipe2(p.data(), O_DIRECT | O_NONBLOCK | O_CLOEXEC), 0);
        pipes[name] = p;
        fs::create_symlink("/proc/self/fd/" + std::to_string(p[0]), dev / name);
    }

    void send(const std::string& node, const Bytes& report) {
        ASSERT_EQ(::write(pipes[node][1], report.data(), report.size()), static_cast<ssize_t>(report.size()));
    }

    std::map<std::string, Bytes> rdesc;
    std::map<std::string, std::array<int, 2>> pipes;
    fs::path root, sys, dev;
};

Bytes report(std::uint8_t id, std::size_t size, std::uint8_t fill) {
    Bytes r(size, fill);
    r[0] = id;
    return r;
}

} // namespace

TEST_F(HidrawFixture, EnumeratesEveryCollectionOfReadableNodes) {
    const auto paths = hid::enumerateInterfaces();
    std::vector<std::string> expected;
    for (int c = 1; c <= 3; ++c) expected.push_back(hidrawPath(dev, "hidraw0", "vid_0c45&pid_7643", c));
    for (int c = 1; c <= 3; ++c) expected.push_back(hidrawPath(dev, "hidraw1", "vid_0c45&pid_6556", c));
    for (int c = 1; c <= 2; ++c) expected.push_back(hidrawPath(dev, "hidraw10", "vid_0c45&pid_5004", c));
    EXPECT_EQ(paths, expected);

    HidDevice d;
    ASSERT_TRUE(d.Open(expected[2], true, true, true, false));
    EXPECT_EQ(d.Attributes().productId, 0x7643);
    EXPECT_EQ(d.Capabilities().usagePage, 0xFF1C);
    EXPECT_EQ(d.Capabilities().usage, 0x92);
    EXPECT_EQ(d.Capabilities().inputReportByteLength, 64);
    EXPECT_FALSE(d.Open(hidrawPath(dev, "hidraw0", "vid_0c45&pid_7643", 4), true, true, true, false));
    EXPECT_FALSE(d.IsOpen());
    EXPECT_FALSE(d.Open(hidrawPath(dev, "hidraw2", "vid_0c45&pid_5004", 1), true, true, true, false));

    EXPECT_TRUE(hid::probeInterface(expected[0]));
    fs::remove(dev / "hidraw0");
    EXPECT_FALSE(hid::probeInterface(expected[0]));
}

// Enumeration keeps parsed nodes between searches; a node changed in any way must be seen anew,
// both right after it was read (file times too coarse to tell a same-size rewrite) and once its
// files have aged.
TEST_F(HidrawFixture, ChangedOrReplacedNodesAreSeenWithTheirNewCollections) {
    Bytes tweaked = rdesc["mouse"]; // same size, the vendor collection's usage changed
    const Bytes usage92 = {0x09, 0x92};
    auto at = std::search(tweaked.begin(), tweaked.end(), usage92.begin(), usage92.end());
    ASSERT_NE(at, tweaked.end());
    at[1] = 0x93;

    enum class How { InPlace, Renamed, Replugged };
    struct State {
        std::string pid;
        Bytes descriptor;
    };
    struct Change {
        std::string node;
        How how;
        State before, rounds[2];
    };
    const std::vector<Change> changes = {
        {"hidraw0", How::InPlace, {"7643", rdesc["mouse"]}, {{"7643", tweaked}, {"7643", rdesc["mouse"]}}},
        {"hidraw1", How::Renamed, {"6556", rdesc["keyboard"]}, {{"5004", rdesc["pad"]}, {"6556", rdesc["keyboard"]}}},
        {"hidraw10", How::Replugged, {"5004", rdesc["pad"]}, {{"7643", rdesc["mouse"]}, {"5004", tweaked}}},
    };
    std::map<std::string, State> now;
    for (const Change& c : changes) now[c.node] = c.before;

    auto expectSeen = [&](const std::map<std::string, State>& nodes) {
        std::vector<std::string> expected;
        for (const Change& c : changes) { // listed in this node order
            auto it = nodes.find(c.node);
            if (it == nodes.end()) continue;
            const auto parsed = hid::parseReportDescriptor(it->second.descriptor);
            ASSERT_TRUE(parsed);
            const std::string ids = "vid_0c45&pid_" + it->second.pid;
            const int n = static_cast<int>(parsed->collections.size());
            for (int col = 1; col <= n; ++col) expected.push_back(hidrawPath(dev, c.node.c_str(), ids.c_str(), col));
            HidDevice d;
            ASSERT_TRUE(d.Open(expected.back(), true, false, true, false)) << expected.back();
            EXPECT_EQ(d.Capabilities().usage, parsed->collections.back().usage) << c.node;
            EXPECT_EQ(d.Attributes().productId, std::stoi(it->second.pid, nullptr, 16)) << c.node;
        }
        EXPECT_EQ(hid::enumerateInterfaces(), expected);
    };

    auto write = [&](const std::string& node, const State& s, bool rename) {
        const fs::path d = sys / "class/hidraw" / node / "device";
        const std::string uevent = "DRIVER=hid-generic\nHID_ID=0003:00000C45:0000" + s.pid + "\nHID_NAME=fixture\n";
        if (!rename) {
            writeFile(d / "uevent", uevent);
            writeFile(d / "report_descriptor", s.descriptor.data(), s.descriptor.size());
            return;
        }
        writeFile(d / "uevent.new", uevent);
        writeFile(d / "report_descriptor.new", s.descriptor.data(), s.descriptor.size());
        fs::rename(d / "uevent.new", d / "uevent");
        fs::rename(d / "report_descriptor.new", d / "report_descriptor");
    };

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "changed right after a search" : "changed long after");
        if (round == 1) std::this_thread::sleep_for(std::chrono::milliseconds(4200)); // past the settling time
        expectSeen(now);
        for (const Change& c : changes) {
            const State& next = c.rounds[round];
            if (c.how == How::Replugged) {
                fs::remove_all(sys / "class/hidraw" / c.node);
                now.erase(c.node);
                expectSeen(now);
            }
            write(c.node, next, c.how == How::Renamed);
            now[c.node] = next;
        }
        expectSeen(now);
    }
}

// The presence watcher and both consumers search at once while a node comes and goes.
TEST_F(HidrawFixture, ConcurrentSearchesWhileANodeIsReplugged) {
    const fs::path node = sys / "class/hidraw/hidraw0";
    const auto withMouse = hid::enumerateInterfaces();
    const std::vector<std::string> without(withMouse.begin() + 3, withMouse.end());
    std::atomic<bool> done{false};
    std::atomic<int> bad{0};
    std::vector<std::thread> searchers;
    for (int t = 0; t < 3; ++t)
        searchers.emplace_back([&] {
            while (!done.load()) {
                const auto found = hid::enumerateInterfaces();
                if (found != withMouse && found != without) ++bad;
            }
        });
    for (int i = 0; i < 50; ++i) {
        fs::rename(node, root / "unplugged");
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        fs::rename(root / "unplugged", node);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    done.store(true);
    for (auto& t : searchers) t.join();
    EXPECT_EQ(bad.load(), 0);
    EXPECT_EQ(hid::enumerateInterfaces(), withMouse);
    fs::remove_all(node);
    EXPECT_EQ(hid::enumerateInterfaces(), without);
}

TEST_F(HidrawFixture, ReadsOnlyItsCollectionsReportsAsWholeReports) {
    HidDevice vendor;
    ASSERT_TRUE(vendor.Open(hidrawPath(dev, "hidraw0", "vid_0c45&pid_7643", 3), true, false, true, false));
    send("hidraw0", report(3, 3, 0x01)); // consumer announcement: not the vendor collection's
    send("hidraw0", report(1, 5, 0x00)); // pointer report
    send("hidraw0", report(4, 64, 0xAB));
    send("hidraw0", report(4, 5, 0xCD));   // shorter than the descriptor says
    send("hidraw0", report(4, 300, 0xEF)); // longer
    send("hidraw0", report(9, 64, 0x11));  // an id no collection declares

    std::uint8_t buf[80];
    std::size_t got = 0;
    ASSERT_TRUE(vendor.ReadReport(sizeof buf, buf, 1000, &got));
    EXPECT_EQ(got, 64u);
    EXPECT_EQ(Bytes(buf, buf + 64), report(4, 64, 0xAB));

    std::fill(std::begin(buf), std::end(buf), 0x77);
    ASSERT_TRUE(vendor.ReadReport(sizeof buf, buf, 1000, &got));
    EXPECT_EQ(got, 64u);
    Bytes padded = report(4, 64, 0);
    std::fill(padded.begin() + 1, padded.begin() + 5, 0xCD);
    EXPECT_EQ(Bytes(buf, buf + 64), padded);
    EXPECT_EQ(buf[64], 0x77) << "nothing past the report length is touched";

    ASSERT_TRUE(vendor.ReadReport(sizeof buf, buf, 1000, &got));
    EXPECT_EQ(got, 64u);
    EXPECT_EQ(Bytes(buf, buf + 64), report(4, 64, 0xEF));

    EXPECT_FALSE(vendor.ReadReport(sizeof buf, buf, 50, &got)); // the stray id is skipped; time-out
    EXPECT_EQ(got, 0u);
}

TEST_F(HidrawFixture, WritesWholeOutputReportsAndCloseReleasesAWaitingRead) {
    HidDevice vendor;
    ASSERT_TRUE(vendor.Open(hidrawPath(dev, "hidraw1", "vid_0c45&pid_6556", 3), false, true, true, false));
    const std::uint8_t frame[8] = {0x04, 0x01, 0x00, 0x01};
    std::size_t written = 0;
    ASSERT_TRUE(vendor.WriteReport(sizeof frame, frame, 1000, &written));
    EXPECT_EQ(written, 64u);
    std::uint8_t out[128];
    ASSERT_EQ(::read(pipes["hidraw1"][0], out, sizeof out), 64);
    EXPECT_EQ(Bytes(out, out + 8), Bytes(frame, frame + 8));
    EXPECT_EQ(out[63], 0);

    HidDevice consumer;
    ASSERT_TRUE(consumer.Open(hidrawPath(dev, "hidraw10", "vid_0c45&pid_5004", 1), true, false, true, false));
    std::atomic<int> result{-1};
    std::thread reader([&] {
        std::uint8_t buf[64];
        result = consumer.ReadReport(sizeof buf, buf, kInfiniteTimeout) ? 1 : 0;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    consumer.Close();
    reader.join();
    EXPECT_EQ(result.load(), 0);
}

namespace {

// A virtual device that lies: its descriptor promises 64-byte vendor reports, and on each output
// report it answers with the datagrams of the script.
class LyingDevice {
public:
    LyingDevice(const fs::path& dir, const Bytes& descriptor, std::vector<std::vector<Bytes>> script)
        : script_(std::move(script)) {
        writeFile(dir / "liar.rdesc", descriptor.data(), descriptor.size());
        writeFile(dir / "liar.info", "vid=0c45\npid=7643\nversion=0100\nname=liar\n");
        listen_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        const std::string p = (dir / "liar.sock").string();
        std::memcpy(a.sun_path, p.c_str(), p.size() + 1);
        ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(listen_, 4);
        thread_ = std::thread([this] { serve(); });
    }
    ~LyingDevice() {
        ::shutdown(listen_, SHUT_RDWR);
        if (conn_ >= 0) ::shutdown(conn_, SHUT_RDWR);
        thread_.join();
        ::close(listen_);
        if (conn_ >= 0) ::close(conn_);
    }

private:
    void serve() {
        conn_ = ::accept(listen_, nullptr, nullptr);
        if (conn_ < 0) return;
        std::uint8_t buf[256];
        for (const auto& answer : script_) {
            if (::recv(conn_, buf, sizeof buf, 0) <= 0) return;
            for (const Bytes& m : answer) ::send(conn_, m.data(), m.size(), MSG_NOSIGNAL);
        }
        ::shutdown(conn_, SHUT_WR); // then unplugged
    }

    std::vector<std::vector<Bytes>> script_;
    int listen_ = -1;
    int conn_ = -1;
    std::thread thread_;
};

Bytes msg(char type, Bytes body) {
    body.insert(body.begin(), static_cast<std::uint8_t>(type));
    return body;
}

} // namespace

TEST(VirtualBackend, GarbledDatagramsNeverCrashOrHang) {
    Bytes descriptor;
    {
        kavrel::testing::Devsim sim({"--device", "mouse"});
        ASSERT_TRUE(sim.ready());
        descriptor = readAll(sim.dir() / "mouse.rdesc");
    }
    const fs::path dir = kavrel::testing::makeTempDir("liar");
    const Bytes ok = {'A', 0};
    LyingDevice liar(dir, descriptor,
                     {
                         {Bytes{'A'}},                  // acknowledgement without status: failed write
                         {ok, Bytes{}, Bytes{'Z', 1, 2}, Bytes{'I'}, msg('I', report(4, 5, 0x5A))},
                         {ok, msg('I', report(4, 1000, 0x6B))},
                         {ok, msg('I', report(9, 64, 0x11)), msg('I', report(3, 3, 0x01))},
                         {},                            // takes the report, never acknowledges
                     });
    hid::Roots r;
    r.virtualDir = dir.string();
    r.hidraw = false;
    hid::setRoots(r);

    HidDevice d;
    ASSERT_TRUE(d.Open("vhid:" + (dir / "liar.sock").string() + "?vid_0c45&pid_7643&col03", true, true, true, false));
    const std::uint8_t frame[64] = {0x04};
    std::uint8_t buf[64];
    std::size_t got = 0;

    EXPECT_FALSE(d.WriteReport(64, frame, 1000));
    ASSERT_TRUE(d.WriteReport(64, frame, 1000));
    ASSERT_TRUE(d.ReadReport(64, buf, 1000, &got)); // the short one, padded
    EXPECT_EQ(got, 64u);
    EXPECT_EQ(buf[4], 0x5A);
    EXPECT_EQ(buf[5], 0);
    ASSERT_TRUE(d.WriteReport(64, frame, 1000));
    ASSERT_TRUE(d.ReadReport(64, buf, 1000, &got)); // the long one, cut
    EXPECT_EQ(got, 64u);
    EXPECT_EQ(buf[63], 0x6B);
    ASSERT_TRUE(d.WriteReport(64, frame, 1000));
    EXPECT_FALSE(d.ReadReport(64, buf, 100)); // only reports of other ids came
    EXPECT_FALSE(d.WriteReport(64, frame, 200)); // no acknowledgement: bounded by the time-out
    EXPECT_FALSE(d.ReadReport(64, buf, kInfiniteTimeout)); // the device went away: no hang
    d.Close();
    hid::setRoots({});
    fs::remove_all(dir);
}
