// Real kavrel processes: one instance per session, the wake request, a lock left by a killed copy,
// and the termination signals.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class Kavrel {
public:
    Kavrel(const fs::path& root, const fs::path& log) : log_(log) {
        pid_ = ::fork();
        if (pid_ == 0) {
            const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(fd, 1);
            ::dup2(fd, 2);
            ::setenv("HOME", (root / "home").c_str(), 1);
            ::setenv("XDG_RUNTIME_DIR", (root / "run").c_str(), 1);
            ::setenv("XDG_CONFIG_DIRS", (root / "xdg").c_str(), 1);
            ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            ::setenv("KAVREL_DEBUG", "1", 1);
            ::execl(KAVREL_BINARY_DIR "/bin/kavrel", "kavrel", static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~Kavrel() {
        if (pid_ > 0 && !exited_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    std::string log() const {
        std::ifstream in(log_);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    int count(const std::string& text) const {
        const std::string l = log();
        int n = 0;
        for (auto p = l.find(text); p != std::string::npos; p = l.find(text, p + text.size()))
            ++n;
        return n;
    }
    bool waitFor(const std::string& text, std::chrono::milliseconds timeout = 20s) const {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < end) {
            if (count(text) > 0)
                return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }
    // The exit code; -1 when the process did not end within the timeout, -100 - n after signal n.
    int wait(std::chrono::milliseconds timeout = 20s) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -100 - WTERMSIG(status);
            }
            std::this_thread::sleep_for(10ms);
        }
        return -1;
    }
    void signal(int sig) const { ::kill(pid_, sig); }
    void killHard() {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        exited_ = true;
    }

private:
    fs::path log_;
    pid_t pid_ = -1;
    bool exited_ = false;
};

class ProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string t = (fs::temp_directory_path() / "kavrel-proc-XXXXXX").string();
        ASSERT_NE(::mkdtemp(t.data()), nullptr);
        root_ = t;
        for (const char* d : {"home", "xdg", "config", "run"})
            fs::create_directories(root_ / d);
        fs::permissions(root_ / "run", fs::perms::owner_all);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    fs::path root_;
};

// The wake line of the running copy (the start-up line uses a full-width colon instead).
const std::string kWakeLine = "软件标示 ";
const std::string kInitDone = "windowinit done";

TEST_F(ProcessTest, SecondCopyWakesTheFirstAndExits) {
    Kavrel first(root_, root_ / "first.log");
    ASSERT_TRUE(first.waitFor(kInitDone)) << first.log();

    Kavrel second(root_, root_ / "second.log");
    EXPECT_EQ(second.wait(), 0) << second.log();
    EXPECT_EQ(second.count("InitWindow"), 0) << second.log();

    ASSERT_TRUE(first.waitFor(kWakeLine)) << first.log();
    std::this_thread::sleep_for(300ms);   // a duplicate would arrive by now
    EXPECT_EQ(first.count(kWakeLine), 1) << first.log();
    EXPECT_NE(first.log().find("，0d0d"), std::string::npos) << "wParam and lParam are 0";

    // The lock dies with a killed copy: the next start runs normally.
    first.killHard();
    Kavrel third(root_, root_ / "third.log");
    ASSERT_TRUE(third.waitFor(kInitDone)) << third.log();
    EXPECT_EQ(third.count("InitWindow"), 1);
    third.signal(SIGTERM);
    EXPECT_EQ(third.wait(), 0) << third.log();
}

TEST_F(ProcessTest, TerminationSignalsEndLikeExit) {
    for (int sig : {SIGTERM, SIGINT}) {
        Kavrel k(root_, root_ / ("signal-" + std::to_string(sig) + ".log"));
        ASSERT_TRUE(k.waitFor(kInitDone)) << k.log();
        k.signal(sig);
        EXPECT_EQ(k.wait(), 0) << sig << "\n" << k.log();
        EXPECT_EQ(k.count("所有对象处于激发状态"), 1) << k.log();   // the workers were stopped
    }
}

} // namespace
