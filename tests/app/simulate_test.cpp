// kavrel --simulate as a real process: the emulator child comes up on a private folder, the
// mouse is detected and the window woken, and the emulator ends with the program, even when the
// program is killed.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "../device/devsim.h"
#include "kavrel/app/simulate.h"

extern char** environ;

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

TEST(SimulateArgumentTest, DevicesAndBadNames) {
    struct Case {
        const char* arg;
        std::optional<std::vector<std::string>> devices;
    };
    const Case cases[] = {
        {"--simulate", std::vector<std::string>{"mouse"}},
        {"--simulate=mouse,keyboard,pad", std::vector<std::string>{"mouse", "keyboard", "pad"}},
        {"--simulate=pad,pad", std::vector<std::string>{"pad"}},
        {"--simulate=mouse,foreign", std::vector<std::string>{}},
        {"--simulate=", std::vector<std::string>{}},
        {"--simulated", std::nullopt},
        {"--show", std::nullopt},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(kavrel::app::parseSimulateArgument(c.arg, &error), c.devices) << c.arg;
        EXPECT_EQ(!error.empty(), c.devices && c.devices->empty()) << c.arg;
    }
}

bool processEnded(pid_t pid) {
    if (::kill(pid, 0) != 0) return true;
    // A zombie left to an init that does not reap has ended too.
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    return close == std::string::npos || (close + 2 < text.size() && text[close + 2] == 'Z');
}

class SimulatedProgram {
public:
    SimulatedProgram() {
        home_ = kavrel::testing::makeTempDir("simulate-home");
        fs::create_directories(home_ / "run");
        fs::permissions(home_ / "run", fs::perms::owner_all);
        std::vector<std::string> env = {"HOME=" + home_.string(), "XDG_RUNTIME_DIR=" + (home_ / "run").string(),
                                        "XDG_CONFIG_HOME=" + (home_ / "config").string(),
                                        "QT_QPA_PLATFORM=offscreen", "KAVREL_DEBUG=1", "PATH=/usr/bin:/bin"};
        // Sanitizer builds: the program runs with the test's own sanitizer settings.
        for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS", "TSAN_OPTIONS"})
            if (const char* v = std::getenv(name)) env.push_back(std::string(name) + "=" + v);
        std::vector<char*> envp;
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        std::string program = KAVREL_BINARY_DIR "/bin/kavrel";
        std::string option = "--simulate";
        char* argv[] = {program.data(), option.data(), nullptr};
        int err[2];
        if (::pipe2(err, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(err[1]);
        stderr_ = err[0];
    }
    ~SimulatedProgram() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (stderr_ >= 0) ::close(stderr_);
        std::error_code ec;
        fs::remove_all(home_, ec);
    }

    // Reads diagnostics until a line starts with `prefix`; that line, or empty after the deadline.
    std::string waitLine(const std::string& prefix, std::chrono::milliseconds deadline = 15s) {
        const auto end = std::chrono::steady_clock::now() + deadline;
        for (;;) {
            std::size_t nl;
            while ((nl = buffer_.find('\n')) != std::string::npos) {
                std::string line = buffer_.substr(0, nl);
                buffer_.erase(0, nl + 1);
                if (line.rfind(prefix, 0) == 0) return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            if (left.count() <= 0) return {};
            pollfd p{stderr_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) return {};
            char buf[4096];
            const ssize_t n = ::read(stderr_, buf, sizeof buf);
            if (n <= 0) return {};
            buffer_.append(buf, static_cast<std::size_t>(n));
        }
    }
    // The exit status once the program ended, -1 when it is still running after the deadline.
    int waitExit(std::chrono::milliseconds deadline = 10s) {
        const auto end = std::chrono::steady_clock::now() + deadline;
        while (std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return status;
            }
            std::this_thread::sleep_for(10ms);
        }
        return -1;
    }
    pid_t pid() const { return pid_; }

private:
    fs::path home_;
    pid_t pid_ = -1;
    int stderr_ = -1;
    std::string buffer_;
};

TEST(SimulateProcessTest, TheEmulatorLivesAndEndsWithTheProgram) {
    struct Case {
        int signal;
        bool cleanExit; // the program shuts down itself and removes the device folder
    };
    for (const Case c : {Case{SIGTERM, true}, Case{SIGKILL, false}}) {
        SCOPED_TRACE(c.signal);
        SimulatedProgram program;
        ASSERT_GT(program.pid(), 0);
        const std::string started = program.waitLine("simulate: kavrel-devsim ");
        ASSERT_FALSE(started.empty());
        int emulator = 0;
        char folder[512] = {};
        ASSERT_EQ(std::sscanf(started.c_str(), "simulate: kavrel-devsim %d serves %511s", &emulator, folder), 2);
        EXPECT_TRUE(fs::exists(fs::path(folder) / "mouse.sock"));

        // The mouse is detected in the first cycle: its stored profile is selected and the
        // window is woken (the wake handler's line).
        EXPECT_FALSE(program.waitLine("ms_device_profile_combo").empty());
        EXPECT_FALSE(program.waitLine("软件标示 ").empty());

        ASSERT_EQ(::kill(program.pid(), c.signal), 0);
        const int status = program.waitExit();
        ASSERT_NE(status, -1);
        if (c.cleanExit) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
            EXPECT_FALSE(fs::exists(folder));
        }
        bool ended = false;
        for (int i = 0; i < 500 && !(ended = processEnded(emulator)); ++i) std::this_thread::sleep_for(10ms);
        EXPECT_TRUE(ended);
        EXPECT_FALSE(fs::exists(fs::path(folder) / "mouse.sock"));
    }
}

} // namespace
