#include "kavrel/hid/hid.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <ctime>
#include <mutex>
#include <unordered_map>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "kavrel/os/diag.h"

namespace kavrel::hid {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr const char* kVirtualPrefix = "vhid:";
constexpr std::size_t kMaxQueuedReports = 256;

std::mutex g_rootsMutex;
Roots g_roots;

// One small file in one go: a sysfs attribute or a virtual device's file. False when it cannot
// be read or is longer than limit.
bool readFile(const std::string& p, std::size_t limit, std::vector<std::uint8_t>& data) {
    const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    data.resize(std::min<std::size_t>(limit + 1, 512));
    std::size_t have = 0;
    bool ok = true;
    for (;;) {
        if (have == data.size()) data.resize(std::min(limit + 1, data.size() * 2));
        const ssize_t r = ::read(fd, data.data() + have, data.size() - have);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) ok = false;
        if (r <= 0) break;
        have += static_cast<std::size_t>(r);
        if (have > limit) {
            ok = false;
            break;
        }
    }
    ::close(fd);
    data.resize(ok ? have : 0);
    data.shrink_to_fit();
    return ok;
}

bool parseHex(std::string_view s, std::uint32_t& out) {
    if (s.empty() || s.size() > 8) return false;
    std::uint32_t v = 0;
    for (char ch : s) {
        int d;
        if (ch >= '0' && ch <= '9') d = ch - '0';
        else if (ch >= 'a' && ch <= 'f') d = ch - 'a' + 10;
        else if (ch >= 'A' && ch <= 'F') d = ch - 'A' + 10;
        else return false;
        v = v << 4 | static_cast<std::uint32_t>(d);
    }
    out = v;
    return true;
}

std::string interfacePath(const std::string& node, const Attributes& a, std::size_t collection) {
    char tail[64];
    std::snprintf(tail, sizeof tail, "?vid_%04x&pid_%04x&col%02zu", a.vendorId, a.productId, collection + 1);
    return node + tail;
}

// Everything an interface path names, read from sysfs or the virtual-device files.
struct NodeInfo {
    Attributes attributes;
    ReportDescriptor descriptor;
};

std::string hidrawName(const std::string& node) { return fs::path(node).filename().string(); }

using Bytes = std::vector<std::uint8_t>;

std::optional<NodeInfo> parseHidraw(const Bytes& uevent, const Bytes& rdesc) {
    const std::string_view text(reinterpret_cast<const char*>(uevent.data()), uevent.size());
    NodeInfo info;
    bool haveId = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.starts_with("HID_ID=")) continue;
        // HID_ID=bus:vendor:product, 4 + 8 + 8 hex digits
        line.remove_prefix(7);
        const auto c1 = line.find(':');
        const auto c2 = c1 == std::string_view::npos ? c1 : line.find(':', c1 + 1);
        std::uint32_t vid = 0, pid = 0;
        if (c2 == std::string_view::npos || !parseHex(line.substr(c1 + 1, c2 - c1 - 1), vid) ||
            !parseHex(line.substr(c2 + 1), pid))
            return std::nullopt;
        info.attributes.vendorId = static_cast<std::uint16_t>(vid);
        info.attributes.productId = static_cast<std::uint16_t>(pid);
        haveId = true;
    }
    if (!haveId) return std::nullopt;
    auto parsed = parseReportDescriptor(rdesc);
    if (!parsed) return std::nullopt;
    info.descriptor = std::move(*parsed);
    return info;
}

std::optional<NodeInfo> parseVirtual(const Bytes& infoFile, const Bytes& rdesc) {
    const std::string_view text(reinterpret_cast<const char*>(infoFile.data()), infoFile.size());
    NodeInfo info;
    bool vid = false, pid = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const auto eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        std::string_view key = line.substr(0, eq), value = line.substr(eq + 1);
        std::uint32_t v = 0;
        if (!parseHex(value, v) || v > 0xFFFF) continue;
        if (key == "vid") info.attributes.vendorId = static_cast<std::uint16_t>(v), vid = true;
        else if (key == "pid") info.attributes.productId = static_cast<std::uint16_t>(v), pid = true;
        else if (key == "version") info.attributes.versionNumber = static_cast<std::uint16_t>(v);
    }
    if (!vid || !pid) return std::nullopt;
    auto parsed = parseReportDescriptor(rdesc);
    if (!parsed) return std::nullopt;
    info.descriptor = std::move(*parsed);
    return info;
}

// Parsed nodes, kept while the two files they were read from keep their identity, so that an
// idle search costs two stat() calls per node instead of reading and parsing both files.
//
// File times come from a coarse clock: a file rewritten with the same size within one tick
// keeps its stamp. An entry whose files changed shortly before they were read is therefore
// "unsettled" and checked against the bytes it was made from until the change lies well in the
// past; only then does the stamp alone vouch for the content. The change time decides, as every
// write sets it and no caller can set it back.
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec mtime{};
    timespec ctime{};
    bool operator==(const FileStamp& o) const {
        return device == o.device && inode == o.inode && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
               mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec && ctime.tv_nsec == o.ctime.tv_nsec;
    }
};

bool stampOf(const std::string& path, FileStamp& out) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return false;
    out.device = st.st_dev;
    out.inode = st.st_ino;
    out.size = st.st_size;
    out.mtime = st.st_mtim;
    out.ctime = st.st_ctim;
    return true;
}

// Longer than any file-system time granularity we meet (FAT keeps 2 s).
constexpr time_t kSettleSeconds = 3;

bool settledBy(const FileStamp& s, const timespec& readAt) {
    return s.ctime.tv_sec < readAt.tv_sec - kSettleSeconds;
}

struct CacheEntry {
    FileStamp stamps[2];
    std::shared_ptr<const NodeInfo> info;         // nullptr: the files hold no usable node
    std::shared_ptr<const Bytes> contents[2];     // kept only while unsettled
    std::uint64_t pass = 0;                       // the last enumeration that saw it
};

std::mutex g_cacheMutex;
std::unordered_map<std::string, CacheEntry> g_cache; // keyed by the descriptor file's path
std::uint64_t g_pass = 0;

using Parser = std::optional<NodeInfo> (*)(const Bytes&, const Bytes&);

// The node described by attrFile (uevent or .info) and rdescFile, from the cache while both
// files are unchanged. nullptr when a file is missing or unreadable or the node is unusable.
std::shared_ptr<const NodeInfo> nodeInfo(const std::string& attrFile, const std::string& rdescFile, Parser parse,
                                         std::uint64_t pass) {
    FileStamp stamps[2];
    if (!stampOf(attrFile, stamps[0]) || !stampOf(rdescFile, stamps[1])) {
        std::lock_guard lock(g_cacheMutex);
        g_cache.erase(rdescFile);
        return nullptr;
    }
    std::shared_ptr<const NodeInfo> previous;
    std::shared_ptr<const Bytes> previousContents[2];
    {
        std::lock_guard lock(g_cacheMutex);
        if (auto it = g_cache.find(rdescFile); it != g_cache.end()) {
            CacheEntry& e = it->second;
            if (e.stamps[0] == stamps[0] && e.stamps[1] == stamps[1]) {
                if (!e.contents[0]) {
                    e.pass = std::max(e.pass, pass);
                    return e.info;
                }
                previous = e.info;
                previousContents[0] = e.contents[0];
                previousContents[1] = e.contents[1];
            }
        }
    }
    timespec readAt{};
    ::clock_gettime(CLOCK_REALTIME, &readAt);
    auto attr = std::make_shared<Bytes>();
    auto rdesc = std::make_shared<Bytes>();
    if (!readFile(attrFile, 65536, *attr) || !readFile(rdescFile, kMaxDescriptorSize, *rdesc)) return nullptr;
    std::shared_ptr<const NodeInfo> info;
    if (previousContents[0] && *previousContents[0] == *attr && *previousContents[1] == *rdesc) {
        info = std::move(previous);
    } else if (auto parsed = parse(*attr, *rdesc)) {
        info = std::make_shared<const NodeInfo>(std::move(*parsed));
    }
    CacheEntry e;
    e.stamps[0] = stamps[0];
    e.stamps[1] = stamps[1];
    e.info = info;
    e.pass = pass;
    if (!settledBy(stamps[0], readAt) || !settledBy(stamps[1], readAt)) {
        e.contents[0] = std::move(attr);
        e.contents[1] = std::move(rdesc);
    }
    std::lock_guard lock(g_cacheMutex);
    e.pass = std::max(e.pass, g_pass);
    g_cache.insert_or_assign(rdescFile, std::move(e));
    return info;
}

std::string hidrawDeviceDir(const Roots& r, std::string_view name) {
    std::string d = r.sysfs;
    d += "/class/hidraw/";
    d += name;
    d += "/device/";
    return d;
}

std::shared_ptr<const NodeInfo> hidrawInfo(const Roots& r, std::string_view name, std::uint64_t pass) {
    const std::string dir = hidrawDeviceDir(r, name);
    return nodeInfo(dir + "uevent", dir + "report_descriptor", parseHidraw, pass);
}

// socketPath ends in ".sock"; its .info and .rdesc lie beside it.
std::shared_ptr<const NodeInfo> virtualInfo(const std::string& socketPath, std::uint64_t pass) {
    if (!socketPath.ends_with(".sock")) return nullptr;
    const std::string_view stem(socketPath.data(), socketPath.size() - 5);
    std::string info(stem), rdesc(stem);
    info += ".info";
    rdesc += ".rdesc";
    return nodeInfo(info, rdesc, parseVirtual, pass);
}

// Names in dir ending in suffix, hidraw2 before hidraw10. Read straight from getdents64: a search
// lists two folders every second, and a directory stream costs three more system calls.
std::vector<std::string> sortedEntries(const std::string& dir, std::string_view suffix) {
    std::vector<std::string> names;
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return names;
    alignas(dirent64) char buf[4096];
    for (;;) {
        const ssize_t n = ::getdents64(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const dirent64*>(buf + at);
            at += e->d_reclen;
            const std::string_view name(e->d_name);
            if (name == "." || name == ".." || !name.ends_with(suffix)) continue;
            names.emplace_back(name);
        }
    }
    ::close(fd);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    return names;
}

int remainingMs(Clock::time_point deadline, bool infinite) {
    if (infinite) return -1;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return 0;
    return static_cast<int>(std::min<long long>(left, 1 << 30));
}

Clock::time_point deadlineFor(int timeoutMs) {
    return Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
}

class EventFd {
public:
    EventFd() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~EventFd() {
        if (fd_ >= 0) ::close(fd_);
    }
    EventFd(const EventFd&) = delete;
    EventFd& operator=(const EventFd&) = delete;
    int fd() const { return fd_; }
    void signal() {
        const std::uint64_t one = 1;
        [[maybe_unused]] auto r = ::write(fd_, &one, sizeof one);
    }

private:
    int fd_;
};

// A hidraw node: one read() or write() is one report.
class HidrawConnection final : public Connection {
public:
    HidrawConnection(int fd, const NodeInfo& info, std::size_t index, std::string path) : fd_(fd) {
        descriptor_ = info.descriptor;
        attributes_ = info.attributes;
        index_ = index;
        path_ = std::move(path);
        scratch_.resize(kMaxReportSize + 1);
    }
    ~HidrawConnection() override { ::close(fd_); }
    bool valid() const { return abort_.fd() >= 0; }

    TransferResult read(std::span<std::uint8_t> buffer, std::size_t* received, int timeoutMs) override {
        std::lock_guard lock(readMutex_);
        if (received) *received = 0;
        const bool infinite = timeoutMs < 0;
        const auto deadline = deadlineFor(timeoutMs);
        const std::size_t shift = descriptor_.usesReportIds ? 0 : 1;
        for (;;) {
            if (aborted_.load()) return TransferResult::Aborted;
            pollfd p[2] = {{abort_.fd(), POLLIN, 0}, {fd_, POLLIN, 0}};
            const int n = ::poll(p, 2, remainingMs(deadline, infinite));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return TransferResult::Failed;
            if (p[0].revents) return TransferResult::Aborted;
            if (n == 0) return TransferResult::TimedOut;
            if (p[1].revents & POLLIN) {
                scratch_[0] = 0;
                const ssize_t r = ::read(fd_, scratch_.data() + shift, scratch_.size() - shift);
                if (r < 0 && (errno == EAGAIN || errno == EINTR)) continue;
                if (r <= 0) return TransferResult::Failed; // device gone
                const std::size_t len = static_cast<std::size_t>(r) + shift;
                std::span<const std::uint8_t> report(scratch_.data(), len);
                if (descriptor_.collectionOfReport(report) != static_cast<int>(index_)) continue;
                const std::size_t copy = std::min(len, buffer.size());
                std::copy_n(report.begin(), copy, buffer.begin());
                if (received) *received = len;
                return TransferResult::Done;
            }
            if (p[1].revents & (POLLERR | POLLHUP | POLLNVAL)) return TransferResult::Failed;
            if (!infinite && Clock::now() >= deadline) return TransferResult::TimedOut;
        }
    }

    TransferResult write(std::span<const std::uint8_t> report, int timeoutMs) override {
        std::lock_guard lock(writeMutex_);
        if (report.empty() || report.size() > kMaxReportSize) return TransferResult::Failed;
        // hidraw takes the report number first and, without numbered reports, 0 there.
        const bool infinite = timeoutMs < 0;
        const auto deadline = deadlineFor(timeoutMs);
        for (;;) {
            if (aborted_.load()) return TransferResult::Aborted;
            pollfd p[2] = {{abort_.fd(), POLLIN, 0}, {fd_, POLLOUT, 0}};
            const int n = ::poll(p, 2, remainingMs(deadline, infinite));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return TransferResult::Failed;
            if (p[0].revents) return TransferResult::Aborted;
            if (n == 0) return TransferResult::TimedOut;
            if (p[1].revents & POLLOUT) {
                const ssize_t r = ::write(fd_, report.data(), report.size());
                if (r < 0 && (errno == EAGAIN || errno == EINTR)) continue;
                return r == static_cast<ssize_t>(report.size()) ? TransferResult::Done : TransferResult::Failed;
            }
            if (p[1].revents & (POLLERR | POLLHUP | POLLNVAL)) return TransferResult::Failed;
        }
    }

    void drainInput() override {
        std::lock_guard lock(readMutex_);
        while (::read(fd_, scratch_.data(), scratch_.size()) > 0) {}
    }

    void abort() override {
        aborted_.store(true);
        abort_.signal();
    }

private:
    int fd_;
    EventFd abort_;
    std::atomic<bool> aborted_{false};
    std::mutex readMutex_;
    std::mutex writeMutex_;
    std::vector<std::uint8_t> scratch_;
};

// A virtual device connection. Reader and writer share one socket, so datagrams are received
// by whichever thread is polling at the moment (one at a time) and sorted into the input queue
// and the write acknowledgements.
class VirtualConnection final : public Connection {
public:
    VirtualConnection(int fd, const NodeInfo& info, std::size_t index, std::string path, const OpenOptions& o)
        : fd_(fd), canRead_(o.read), canWrite_(o.write) {
        descriptor_ = info.descriptor;
        attributes_ = info.attributes;
        index_ = index;
        path_ = std::move(path);
        scratch_.resize(kMaxReportSize + 2);
    }
    ~VirtualConnection() override { ::close(fd_); }
    bool valid() const { return abort_.fd() >= 0; }

    TransferResult read(std::span<std::uint8_t> buffer, std::size_t* received, int timeoutMs) override {
        if (received) *received = 0;
        if (!canRead_) return TransferResult::Failed; // as a node opened without read access
        std::unique_lock lock(mutex_);
        TransferResult r = waitFor(lock, timeoutMs, [&] { return !input_.empty(); });
        if (r != TransferResult::Done) return r;
        const std::vector<std::uint8_t>& report = input_.front();
        std::copy_n(report.begin(), std::min(report.size(), buffer.size()), buffer.begin());
        if (received) *received = report.size();
        input_.pop_front();
        return TransferResult::Done;
    }

    TransferResult write(std::span<const std::uint8_t> report, int timeoutMs) override {
        if (!canWrite_ || report.empty() || report.size() > kMaxReportSize) return TransferResult::Failed;
        std::vector<std::uint8_t> msg(report.size() + 1);
        msg[0] = 'O';
        std::copy(report.begin(), report.end(), msg.begin() + 1);
        std::unique_lock lock(mutex_);
        if (aborted_) return TransferResult::Aborted;
        if (dead_) return TransferResult::Failed;
        acks_.clear(); // a late acknowledgement of an earlier, timed-out write
        const auto deadline = deadlineFor(timeoutMs);
        for (;;) {
            const ssize_t s = ::send(fd_, msg.data(), msg.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (s == static_cast<ssize_t>(msg.size())) break;
            if (s < 0 && errno == EINTR) continue;
            if (s < 0 && errno == EAGAIN) {
                // The device is not taking datagrams; wait for room within the time-out.
                lock.unlock();
                pollfd p[2] = {{abort_.fd(), POLLIN, 0}, {fd_, POLLOUT, 0}};
                const int n = ::poll(p, 2, remainingMs(deadline, timeoutMs < 0));
                lock.lock();
                if (aborted_) return TransferResult::Aborted;
                if (n <= 0) return n == 0 ? TransferResult::TimedOut : TransferResult::Failed;
                continue;
            }
            dead_ = true;
            return TransferResult::Failed;
        }
        TransferResult r = waitFor(lock, timeoutMs, [&] { return !acks_.empty(); });
        if (r != TransferResult::Done) return r;
        const bool ok = acks_.front() == 0;
        acks_.pop_front();
        return ok ? TransferResult::Done : TransferResult::Failed;
    }

    void drainInput() override {
        std::unique_lock lock(mutex_);
        receiveAvailable();
        input_.clear();
    }

    void abort() override {
        {
            std::lock_guard lock(mutex_);
            aborted_ = true;
        }
        abort_.signal();
        cv_.notify_all();
    }

private:
    template <class Ready>
    TransferResult waitFor(std::unique_lock<std::mutex>& lock, int timeoutMs, Ready ready) {
        const bool infinite = timeoutMs < 0;
        const auto deadline = deadlineFor(timeoutMs);
        for (;;) {
            if (aborted_) return TransferResult::Aborted;
            if (ready()) return TransferResult::Done;
            if (dead_) return TransferResult::Failed;
            if (!infinite && Clock::now() >= deadline) return TransferResult::TimedOut;
            if (polling_) {
                if (infinite) cv_.wait(lock);
                else cv_.wait_until(lock, deadline);
                continue;
            }
            polling_ = true;
            lock.unlock();
            pollfd p[2] = {{abort_.fd(), POLLIN, 0}, {fd_, POLLIN, 0}};
            const int n = ::poll(p, 2, remainingMs(deadline, infinite));
            const int err = errno;
            lock.lock();
            polling_ = false;
            if (n < 0 && err != EINTR) dead_ = true;
            if (n > 0 && p[1].revents) receiveAvailable();
            cv_.notify_all();
        }
    }

    // Takes every datagram waiting on the socket; called with the mutex held.
    void receiveAvailable() {
        for (;;) {
            const ssize_t r = ::recv(fd_, scratch_.data(), scratch_.size(), MSG_DONTWAIT);
            if (r < 0 && errno == EINTR) continue;
            if (r < 0 && errno == EAGAIN) return;
            if (r == 0) {
                // An empty datagram and the end of the connection both read as 0 bytes.
                pollfd p{fd_, POLLRDHUP, 0};
                if (::poll(&p, 1, 0) == 1 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR))) {
                    dead_ = true; // the device was unplugged
                    return;
                }
                continue;
            }
            if (r < 0) {
                dead_ = true;
                return;
            }
            const auto len = static_cast<std::size_t>(r);
            if (scratch_[0] == 'A') {
                acks_.push_back(len >= 2 ? scratch_[1] : 0xFF);
            } else if (scratch_[0] == 'I' && len >= 2) {
                std::span<const std::uint8_t> report(scratch_.data() + 1, len - 1);
                if (descriptor_.collectionOfReport(report) != static_cast<int>(index_)) continue;
                if (input_.size() >= kMaxQueuedReports) input_.pop_front();
                input_.emplace_back(report.begin(), report.end());
            }
        }
    }

    int fd_;
    const bool canRead_;
    const bool canWrite_;
    EventFd abort_;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool polling_ = false;
    bool aborted_ = false;
    bool dead_ = false;
    std::deque<std::vector<std::uint8_t>> input_;
    std::deque<std::uint8_t> acks_;
    std::vector<std::uint8_t> scratch_;
};

int connectSocket(const std::string& socketPath) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof addr.sun_path) return -1;
    std::memcpy(addr.sun_path, socketPath.c_str(), socketPath.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

Roots resolvedRoots() {
    Roots r = roots();
    if (r.sysfs.empty()) r.sysfs = "/sys";
    if (r.dev.empty()) r.dev = "/dev";
    r.virtualDir = virtualDeviceDir();
    return r;
}

} // namespace

void setRoots(const Roots& r) {
    std::lock_guard lock(g_rootsMutex);
    g_roots = r;
}

Roots roots() {
    std::lock_guard lock(g_rootsMutex);
    return g_roots;
}

std::string virtualDeviceDir() {
    Roots r = roots();
    if (!r.virtualDir.empty()) return r.virtualDir;
    if (const char* d = std::getenv("KAVREL_VHID_DIR"); d && *d) return d;
    if (const char* x = std::getenv("XDG_RUNTIME_DIR"); x && *x) return std::string(x) + "/kavrel/virtual-hid";
    return "/run/user/" + std::to_string(::getuid()) + "/kavrel/virtual-hid";
}

ParsedPath parseInterfacePath(const std::string& path) {
    ParsedPath p;
    const auto q = path.rfind("?vid_");
    p.node = path.substr(0, q);
    if (q == std::string::npos) return p;
    const auto col = path.find("&col", q);
    if (col == std::string::npos) return p;
    int n = 0;
    std::size_t i = col + 4;
    for (; i < path.size() && i < col + 7 && path[i] >= '0' && path[i] <= '9'; ++i) n = n * 10 + (path[i] - '0');
    p.collection = n;
    return p;
}

std::vector<std::string> enumerateInterfaces() {
    const Roots r = resolvedRoots();
    std::uint64_t pass;
    {
        std::lock_guard lock(g_cacheMutex);
        pass = ++g_pass;
    }
    std::vector<std::string> out;
    std::string node;
    if (r.hidraw) {
        for (const std::string& name : sortedEntries(r.sysfs + "/class/hidraw", "")) {
            auto info = hidrawInfo(r, name, pass);
            if (!info) continue;
            node.assign(r.dev).append("/").append(name);
            for (std::size_t c = 0; c < info->descriptor.collections.size(); ++c)
                out.push_back(interfacePath(node, info->attributes, c));
        }
    }
    if (r.virtualDevices) {
        for (const std::string& name : sortedEntries(r.virtualDir, ".sock")) {
            node.assign(kVirtualPrefix).append(r.virtualDir).append("/").append(name);
            auto info = virtualInfo(node.substr(std::strlen(kVirtualPrefix)), pass);
            if (!info) continue;
            for (std::size_t c = 0; c < info->descriptor.collections.size(); ++c)
                out.push_back(interfacePath(node, info->attributes, c));
        }
    }
    // Nodes this search did not meet are gone (or lie under other roots): forget them.
    std::lock_guard lock(g_cacheMutex);
    std::erase_if(g_cache, [pass](const auto& kv) { return kv.second.pass < pass; });
    return out;
}

bool probeInterface(const std::string& path) {
    const ParsedPath p = parseInterfacePath(path);
    if (p.node.starts_with(kVirtualPrefix)) {
        const int fd = connectSocket(p.node.substr(std::strlen(kVirtualPrefix)));
        if (fd < 0) return false;
        ::close(fd);
        return true;
    }
    if (!p.node.starts_with('/')) return false; // also the blanked path " " of a lost channel
    const int fd = ::open(p.node.c_str(), O_PATH | O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

std::unique_ptr<Connection> openInterface(const std::string& path, const OpenOptions& options) {
    const ParsedPath p = parseInterfacePath(path);
    if (p.collection < 1) return nullptr;
    const auto index = static_cast<std::size_t>(p.collection - 1);
    if (p.node.starts_with(kVirtualPrefix)) {
        const std::string sock = p.node.substr(std::strlen(kVirtualPrefix));
        auto info = virtualInfo(sock, 0);
        if (!info || index >= info->descriptor.collections.size()) return nullptr;
        const int fd = connectSocket(sock);
        if (fd < 0) return nullptr;
        auto c = std::make_unique<VirtualConnection>(fd, *info, index, path, options);
        if (!c->valid()) return nullptr;
        return c;
    }
    if (!p.node.starts_with('/')) return nullptr;
    const Roots r = resolvedRoots();
    auto info = hidrawInfo(r, hidrawName(p.node), 0);
    if (!info || index >= info->descriptor.collections.size()) return nullptr;
    int flags = O_CLOEXEC | O_NONBLOCK;
    if (options.read && options.write) flags |= O_RDWR;
    else if (options.write) flags |= O_WRONLY;
    else flags |= O_RDONLY;
    const int fd = ::open(p.node.c_str(), flags);
    if (fd < 0) {
        os::debugf("hid: cannot open %s: %s", p.node.c_str(), std::strerror(errno));
        return nullptr;
    }
    if (options.exclusive && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return nullptr;
    }
    auto c = std::make_unique<HidrawConnection>(fd, *info, index, path);
    if (!c->valid()) return nullptr;
    return c;
}

} // namespace kavrel::hid
