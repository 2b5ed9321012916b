#include "kavrel/app/simulate.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "kavrel/os/diag.h"

extern char** environ;

namespace kavrel::app {

namespace {

constexpr int kReadyTimeoutMs = 10000;

// Waits for the child's first line; true when it is "ready".
bool waitReady(int fd) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReadyTimeoutMs);
    for (;;) {
        if (const auto nl = line.find('\n'); nl != std::string::npos) return line.substr(0, nl) == "ready";
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd, POLLIN, 0};
        const int r = ::poll(&p, 1, static_cast<int>(left.count()));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        char buf[256];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) return false;
        line.append(buf, static_cast<std::size_t>(n));
        if (line.size() > 4096) return false;
    }
}

bool reap(int pid, int waitMs) {
    for (int waited = 0;; waited += 10) {
        const pid_t r = ::waitpid(pid, nullptr, WNOHANG);
        if (r == pid || (r < 0 && errno == ECHILD)) return true;
        if (waited >= waitMs) return false;
        ::usleep(10000);
    }
}

std::string makeFolder() {
    std::filesystem::path base;
    if (const char* x = std::getenv("XDG_RUNTIME_DIR"); x && *x && std::filesystem::is_directory(x))
        base = x;
    else
        base = std::filesystem::temp_directory_path();
    std::string t = (base / "kavrel-simulate-XXXXXX").string();
    if (!::mkdtemp(t.data())) return {};
    return t;
}

} // namespace

std::optional<std::vector<std::string>> parseSimulateArgument(std::string_view arg, std::string* error) {
    constexpr std::string_view kOption = "--simulate";
    if (arg.substr(0, kOption.size()) != kOption) return std::nullopt;
    std::string_view rest = arg.substr(kOption.size());
    if (rest.empty()) return std::vector<std::string>{"mouse"};
    if (rest.front() != '=') return std::nullopt;
    rest.remove_prefix(1);
    std::vector<std::string> devices;
    auto fail = [&](std::string text) {
        if (error) *error = std::move(text);
        return std::vector<std::string>{};
    };
    while (true) {
        const std::size_t comma = rest.find(',');
        const std::string name(rest.substr(0, comma));
        if (name != "mouse" && name != "keyboard" && name != "pad")
            return fail("unknown device '" + name + "' (mouse, keyboard, pad)");
        if (std::find(devices.begin(), devices.end(), name) == devices.end()) devices.push_back(name);
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    return devices;
}

std::string devsimProgram() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const std::filesystem::path beside = self.parent_path() / "kavrel-devsim";
        if (::access(beside.c_str(), X_OK) == 0) return beside.string();
    }
    return "kavrel-devsim";
}

EmulatorProcess::~EmulatorProcess() { stop(); }

bool EmulatorProcess::start(const std::string& program, const std::vector<std::string>& devices, std::string* error) {
    auto fail = [&](std::string text) {
        stop();
        if (error) *error = std::move(text);
        return false;
    };
    folder_ = makeFolder();
    if (folder_.empty()) return fail(std::string("cannot create the device folder: ") + std::strerror(errno));

    std::vector<std::string> args = {program, "--dir", folder_, "--exit-on-eof"};
    for (const std::string& d : devices) {
        args.push_back("--device");
        args.push_back(d);
    }
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0) return fail(std::string("pipe: ") + std::strerror(errno));
    if (::pipe2(out, O_CLOEXEC) != 0) {
        ::close(in[0]);
        ::close(in[1]);
        return fail(std::string("pipe: ") + std::strerror(errno));
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    pid_t pid = -1;
    const int rc = ::posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    toChild_ = in[1];
    fromChild_ = out[0];
    if (rc != 0) return fail("cannot start " + program + ": " + std::strerror(rc));
    pid_ = pid;
    if (!waitReady(fromChild_)) return fail(program + " did not get ready");
    return true;
}

void EmulatorProcess::stop() {
    if (pid_ > 0) {
        // "quit", then the end of its input; a stuck emulator is terminated.
        [[maybe_unused]] ssize_t n = ::write(toChild_, "quit\n", 5);
        ::close(toChild_);
        toChild_ = -1;
        if (!reap(pid_, 2000)) {
            ::kill(pid_, SIGTERM);
            if (!reap(pid_, 1000)) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, nullptr, 0);
            }
        }
        pid_ = -1;
    }
    if (toChild_ >= 0) ::close(toChild_);
    if (fromChild_ >= 0) ::close(fromChild_);
    toChild_ = fromChild_ = -1;
    if (!folder_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
        folder_.clear();
    }
}

int runSimulated(int& argc, char** argv, const RunOptions& options, const std::vector<std::string>& devices) {
    // A write to a gone emulator must not end the program.
    ::signal(SIGPIPE, SIG_IGN);
    EmulatorProcess emulator;
    std::string error;
    if (!emulator.start(devsimProgram(), devices, &error)) {
        std::fprintf(stderr, "kavrel: %s\n", error.c_str());
        return 1;
    }
    ::setenv("KAVREL_VHID_DIR", emulator.folder().c_str(), 1);
    os::debugf("simulate: kavrel-devsim %d serves %s", emulator.pid(), emulator.folder().c_str());
    const int code = runApplication(argc, argv, options);
    emulator.stop();
    return code;
}

} // namespace kavrel::app
