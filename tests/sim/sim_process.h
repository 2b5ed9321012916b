// Test-side helpers: kavrel-devsim as a child process with piped standard input and output, and
// a minimal client of its device sockets.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace simtest {

using Bytes = std::vector<std::uint8_t>;

inline const std::string kDevsim = KAVREL_BINARY_DIR "/bin/kavrel-devsim";

// A 64-byte vendor frame with its checksum (sum of bytes 3..63 at 1..2, little-endian).
inline Bytes frame(std::uint8_t cmd, std::size_t len, std::size_t addr, const Bytes& payload = {}) {
    Bytes f(64, 0);
    f[0] = 0x04;
    f[3] = cmd;
    f[4] = static_cast<std::uint8_t>(len);
    f[5] = static_cast<std::uint8_t>(addr & 0xFF);
    f[6] = static_cast<std::uint8_t>(addr >> 8);
    for (std::size_t i = 0; i < payload.size(); ++i) f[8 + i] = payload[i];
    unsigned sum = 0;
    for (std::size_t i = 3; i < 64; ++i) sum += f[i];
    f[1] = static_cast<std::uint8_t>(sum & 0xFF);
    f[2] = static_cast<std::uint8_t>((sum >> 8) & 0xFF);
    return f;
}

inline std::string hex(const Bytes& b) {
    static const char d[] = "0123456789abcdef";
    std::string s;
    for (std::uint8_t c : b) {
        s.push_back(d[c >> 4]);
        s.push_back(d[c & 15]);
    }
    return s;
}

// Waits until pred() holds or timeoutMs pass; returns pred().
template <class Pred> bool eventually(Pred pred, int timeoutMs = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        if (pred()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return pred();
}

class Client {
public:
    Client() = default;
    explicit Client(const std::string& path) { connectTo(path); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;
    ~Client() {
        if (fd_ >= 0) close(fd_);
    }

    bool connectTo(const std::string& path) {
        fd_ = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        std::strncpy(a.sun_path, path.c_str(), sizeof a.sun_path - 1);
        if (connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            close(fd_);
            fd_ = -1;
        }
        return fd_ >= 0;
    }
    bool connected() const { return fd_ >= 0; }

    bool sendOutput(const Bytes& report) {
        Bytes m{'O'};
        m.insert(m.end(), report.begin(), report.end());
        return send(fd_, m.data(), m.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(m.size());
    }

    // The next datagram, or nothing after timeoutMs. An empty message means the device closed
    // the connection.
    std::optional<Bytes> receive(int timeoutMs) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0) return std::nullopt;
        Bytes b(512);
        const ssize_t n = recv(fd_, b.data(), b.size(), 0);
        if (n < 0) return std::nullopt;
        b.resize(static_cast<std::size_t>(n));
        return b;
    }

    struct Result {
        int ack = -1;              // the 'A' byte, -1 when none came
        std::optional<Bytes> answer; // the input report without the 'I'
    };
    // One exchange: the output report, its 'A', then the next input report within answerMs.
    Result exchange(const Bytes& report, int answerMs = 1000) {
        Result r;
        if (!sendOutput(report)) return r;
        auto a = receive(2000);
        if (!a || a->size() != 2 || (*a)[0] != 'A') return r;
        r.ack = (*a)[1];
        for (;;) {
            auto m = receive(answerMs);
            if (!m || m->empty()) return r;
            if ((*m)[0] == 'I' && m->size() > 1 && (*m)[1] == 0x04) {
                r.answer = Bytes(m->begin() + 1, m->end());
                return r;
            }
        }
    }

private:
    int fd_ = -1;
};

class Process {
public:
    Process() {
        char tmpl[] = "/tmp/kavrel-sim-test-XXXXXX";
        dir_ = mkdtemp(tmpl);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (in_ >= 0) close(in_);
        if (out_ >= 0) close(out_);
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    const std::string& dir() const { return dir_; }
    std::string sock(const std::string& device) const { return dir_ + "/" + device + ".sock"; }
    pid_t pid() const { return pid_; }

    // Starts the emulator on this folder and waits for its "ready" line.
    bool start(std::vector<std::string> args) {
        args.insert(args.begin(), {kDevsim, "--dir", dir_});
        int inPipe[2], outPipe[2];
        if (pipe2(inPipe, O_CLOEXEC) != 0 || pipe2(outPipe, O_CLOEXEC) != 0) return false;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(inPipe[0], STDIN_FILENO);
            dup2(outPipe[1], STDOUT_FILENO);
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(inPipe[0]);
        close(outPipe[1]);
        in_ = inPipe[1];
        out_ = outPipe[0];
        const auto line = readLine(10000);
        return line && *line == "ready";
    }

    std::optional<std::string> readLine(int timeoutMs) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            if (auto nl = buffer_.find('\n'); nl != std::string::npos) {
                std::string line = buffer_.substr(0, nl);
                buffer_.erase(0, nl + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            if (left.count() <= 0) return std::nullopt;
            pollfd p{out_, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0) return std::nullopt;
            char b[4096];
            const ssize_t n = read(out_, b, sizeof b);
            if (n <= 0) return std::nullopt; // the emulator's output ended
            buffer_.append(b, static_cast<std::size_t>(n));
        }
    }

    // Sends one command line and returns the reply line.
    std::string command(const std::string& line) {
        const std::string l = line + "\n";
        if (write(in_, l.data(), l.size()) != static_cast<ssize_t>(l.size())) return "<write failed>";
        return readLine(5000).value_or("<no reply>");
    }

    void closeStdin() {
        close(in_);
        in_ = -1;
    }

    // Waits for the emulator to end; its exit status, or nothing after timeoutMs.
    std::optional<int> wait(int timeoutMs = 5000) {
        int status = 0;
        const bool ended = eventually([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, timeoutMs);
        if (!ended) return std::nullopt;
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    std::string dir_;
    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    std::string buffer_;
};

} // namespace simtest
