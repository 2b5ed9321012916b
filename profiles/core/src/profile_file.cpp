#include "kavrel/profiles/profile_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <system_error>

#include "kavrel/os/diag.h"

namespace kavrel::profiles {
namespace {

namespace fs = std::filesystem;

bool equalsIgnoreAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// Reads up to size bytes, retrying partial reads and EINTR; the count read, or -1.
ssize_t readFully(int fd, std::uint8_t* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, data + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

bool writeFully(int fd, const std::uint8_t* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            if (fd_ >= 0) ::close(fd_);
            fd_ = other.release();
        }
        return *this;
    }
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

void writeFailed(const fs::path& path, const char* what) {
    os::debugLine("文件打开失败");
    os::debugf("profile file %s: %s (%s)", path.c_str(), what, std::strerror(errno));
}

} // namespace

fs::path resolveCaseInsensitive(const fs::path& path) {
    std::error_code ec;
    if (fs::symlink_status(path, ec).type() != fs::file_type::not_found || path.filename().empty()) return path;
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    const std::string wanted = path.filename().string();
    std::optional<fs::path> best;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!equalsIgnoreAsciiCase(name, wanted)) continue;
        if (!best || name < best->filename().string()) best = it->path();
    }
    return best ? folder / best->filename() : path;
}

int ReadProfileFile(const fs::path& path, std::span<std::uint8_t> body) {
    const fs::path real = resolveCaseInsensitive(path);
    // Non-blocking open so a FIFO at the path cannot hang us; only regular files count as present.
    Fd fd(::open(real.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) return kProfileMissing;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return kProfileMissing;

    std::uint8_t header[kProfileHeaderSize];
    if (readFully(fd.get(), header, sizeof header) != static_cast<ssize_t>(sizeof header)) return kProfileFormatError;
    if (header[0] != (kProfileMagic & 0xFF) || header[1] != (kProfileMagic >> 8)) return kProfileFormatError;
    // A failing body read after a good header leaves what was read; it counts as a short file.
    (void)readFully(fd.get(), body.data(), body.size());
    return kProfileRead;
}

bool WriteProfileFile(const fs::path& path, std::span<const std::uint8_t> body, std::uint16_t deviceCode) {
    static std::atomic<unsigned> counter{0};
    const fs::path target = resolveCaseInsensitive(path);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    // A short temporary name, whatever the length of the target's name; a leftover of an
    // earlier process with the same pid only costs another attempt.
    fs::path temp;
    Fd fd(-1);
    for (int attempt = 0; attempt < 8 && fd.get() < 0; ++attempt) {
        temp = folder / (".kavrel-" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1)) + ".tmp");
        fd = Fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd.get() < 0 && errno != EEXIST) break;
    }
    if (fd.get() < 0) {
        writeFailed(target, "cannot create");
        return false;
    }
    std::uint8_t header[kProfileHeaderSize] = {};
    header[0] = kProfileMagic & 0xFF;
    header[1] = kProfileMagic >> 8;
    header[4] = static_cast<std::uint8_t>(deviceCode & 0xFF);
    header[5] = static_cast<std::uint8_t>(deviceCode >> 8);
    const bool written = writeFully(fd.get(), header, sizeof header) &&
                         writeFully(fd.get(), body.data(), body.size()) && ::fdatasync(fd.get()) == 0;
    if (!written || ::close(fd.release()) != 0) {
        writeFailed(target, "cannot write");
        ::unlink(temp.c_str());
        return false;
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        writeFailed(target, "cannot replace");
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

} // namespace kavrel::profiles
