// Test side of the emulator: starts kavrel-devsim as its own process in a private folder, sends
// it commands and reads its state dump.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kavrel::testing {

inline std::string devsimProgram() { return KAVREL_BINARY_DIR "/bin/kavrel-devsim"; }

inline std::filesystem::path makeTempDir(const std::string& tag) {
    std::string t = (std::filesystem::temp_directory_path() / ("kavrel-" + tag + "-XXXXXX")).string();
    if (!::mkdtemp(t.data())) return {};
    return t;
}

struct Frame {
    std::vector<std::uint8_t> out;
    std::vector<std::uint8_t> in; // empty: not answered
};

class Devsim {
public:
    // args: the devices and fault options; --dir is added.
    explicit Devsim(std::vector<std::string> args, std::filesystem::path dir = {}) {
        dir_ = dir.empty() ? makeTempDir("devsim") : dir;
        std::filesystem::create_directories(dir_);
        args.insert(args.begin(), {devsimProgram(), "--dir", dir_.string()});
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(in[0], 0);
            ::dup2(out[1], 1);
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        toChild_ = in[1];
        fromChild_ = out[0];
        ready_ = readLine(10000) == "ready";
    }

    ~Devsim() {
        if (pid_ <= 0) return;
        if (toChild_ >= 0) {
            writeLine("quit");
            ::close(toChild_);
        }
        for (int i = 0; i < 300; ++i) {
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (fromChild_ >= 0) ::close(fromChild_);
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    Devsim(const Devsim&) = delete;
    Devsim& operator=(const Devsim&) = delete;

    bool ready() const { return ready_; }
    const std::filesystem::path& dir() const { return dir_; }

    // Runs one command line; true when the emulator answers "ok".
    bool command(const std::string& line) {
        if (!writeLine(line)) return false;
        return readLine(5000) == "ok";
    }

    std::string dump() {
        const auto file = dir_ / "dump.json";
        if (!command("dump " + file.string())) return {};
        std::ifstream in(file);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    // The part of the dump that belongs to one device ("mouse", "keyboard", "pad", "foreign").
    static std::string section(const std::string& dump, const std::string& device) {
        const std::string start = "\n\"" + device + "\": {";
        auto a = dump.find(start);
        if (a == std::string::npos) return {};
        auto b = dump.find("\n\"", a + start.size());
        return dump.substr(a, b == std::string::npos ? std::string::npos : b - a);
    }

    static std::vector<std::uint8_t> unhex(std::string_view h) {
        std::vector<std::uint8_t> v;
        for (std::size_t i = 0; i + 1 < h.size(); i += 2) v.push_back(static_cast<std::uint8_t>(std::stoi(std::string(h.substr(i, 2)), nullptr, 16)));
        return v;
    }

    // A memory area of the device's dump ("info", "records", "keyBlocks", ...).
    std::vector<std::uint8_t> memory(const std::string& device, const std::string& area) {
        const std::string s = section(dump(), device);
        const std::string key = "\"" + area + "\": \"";
        auto a = s.find(key);
        if (a == std::string::npos) return {};
        a += key.size();
        return unhex(std::string_view(s).substr(a, s.find('"', a) - a));
    }

    std::vector<Frame> frames(const std::string& device) {
        const std::string s = section(dump(), device);
        std::vector<Frame> out;
        std::size_t pos = s.find("\"log\": [");
        while (pos != std::string::npos) {
            pos = s.find("{\"out\": \"", pos);
            if (pos == std::string::npos) break;
            pos += 9;
            Frame f;
            const auto e = s.find('"', pos);
            f.out = unhex(std::string_view(s).substr(pos, e - pos));
            pos = s.find("\"in\": ", e) + 6;
            if (s[pos] == '"') {
                const auto e2 = s.find('"', pos + 1);
                f.in = unhex(std::string_view(s).substr(pos + 1, e2 - pos - 1));
                pos = e2;
            }
            out.push_back(std::move(f));
        }
        return out;
    }

private:
    bool writeLine(const std::string& line) {
        const std::string l = line + "\n";
        return ::write(toChild_, l.data(), l.size()) == static_cast<ssize_t>(l.size());
    }

    std::string readLine(int timeoutMs) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            if (auto nl = buffer_.find('\n'); nl != std::string::npos) {
                std::string line = buffer_.substr(0, nl);
                buffer_.erase(0, nl + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
            if (left <= 0) return {};
            pollfd p{fromChild_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) <= 0) return {};
            char buf[512];
            const ssize_t n = ::read(fromChild_, buf, sizeof buf);
            if (n <= 0) return {};
            buffer_.append(buf, static_cast<std::size_t>(n));
        }
    }

    std::filesystem::path dir_;
    pid_t pid_ = -1;
    int toChild_ = -1;
    int fromChild_ = -1;
    bool ready_ = false;
    std::string buffer_;
};

} // namespace kavrel::testing
