#include "kavrel/sim/emulator.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "kavrel/sim/descriptor.h"

namespace kavrel::sim {

namespace {

volatile sig_atomic_t g_stopSignal = 0;
bool g_handlersInstalled = false;
sigset_t g_waitMask;

void onStopSignal(int) { g_stopSignal = 1; }

constexpr std::uint8_t kMsgOutput = 'O';
constexpr std::size_t kMaxCommandLine = 65536;
constexpr std::chrono::nanoseconds kSpinWindow = std::chrono::microseconds(150);
constexpr std::uint8_t kMsgAck = 'A';
constexpr std::uint8_t kMsgInput = 'I';

std::string hex(const std::uint8_t* p, std::size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    s.reserve(2 * n);
    for (std::size_t i = 0; i < n; ++i) {
        s.push_back(digits[p[i] >> 4]);
        s.push_back(digits[p[i] & 0xF]);
    }
    return s;
}
std::string hex(const std::vector<std::uint8_t>& v) { return hex(v.data(), v.size()); }

std::string jsonString(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
            out += buf;
        } else {
            out.push_back(c);
        }
    }
    out.push_back('"');
    return out;
}

bool writeFileAtomically(const std::string& path, const std::string& content, std::string& error) {
    const std::string tmp = path + ".tmp." + std::to_string(getpid());
    {
        std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
        f.write(content.data(), static_cast<std::streamsize>(content.size()));
        f.flush();
        if (!f) {
            error = "cannot write " + tmp;
            std::remove(tmp.c_str());
            return false;
        }
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        error = "cannot rename " + tmp + " to " + path + ": " + std::strerror(errno);
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

bool makeDirs(const std::string& dir, std::string& error) {
    std::string partial;
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = dir.find('/', pos + 1);
        partial = dir.substr(0, pos);
        if (partial.empty()) continue;
        if (mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            error = "cannot create " + partial + ": " + std::strerror(errno);
            return false;
        }
    }
    struct stat st {};
    if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        error = dir + " is not a folder";
        return false;
    }
    return true;
}

bool fillAddress(sockaddr_un& addr, const std::string& path) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) return false;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return true;
}

std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> w;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        std::size_t j = i;
        while (j < line.size() && line[j] != ' ' && line[j] != '\t' && line[j] != '\r') ++j;
        if (j > i) w.push_back(line.substr(i, j - i));
        i = j;
    }
    return w;
}

} // namespace

void installStopSignalHandlers() {
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
    sigset_t block;
    sigemptyset(&block);
    sigaddset(&block, SIGTERM);
    sigaddset(&block, SIGINT);
    sigaddset(&block, SIGHUP);
    // The signals stay blocked except inside ppoll, so none is lost between a check and the wait.
    sigprocmask(SIG_BLOCK, &block, &g_waitMask);
    sigdelset(&g_waitMask, SIGTERM);
    sigdelset(&g_waitMask, SIGINT);
    sigdelset(&g_waitMask, SIGHUP);
    g_handlersInstalled = true;
}

Emulator::Emulator(Options options) : options_(std::move(options)) {
    for (const DeviceOptions& o : options_.devices) {
        Device d;
        d.options = o;
        d.firmware = std::make_unique<Firmware>(o.firmware);
        d.stem = std::string(modelName(o.firmware.model));
        devices_.push_back(std::move(d));
    }
}

Emulator::~Emulator() {
    for (Device& d : devices_) unplug(d);
}

bool Emulator::start(std::string& error) {
    if (!makeDirs(options_.dir, error)) return false;
    for (Device& d : devices_)
        if (!plug(d, error)) {
            for (Device& other : devices_) unplug(other);
            return false;
        }
    return true;
}

bool Emulator::plug(Device& d, std::string& error) {
    const std::string base = options_.dir + "/" + d.stem;
    const std::string sockPath = base + ".sock";
    const std::string tmpPath = options_.dir + "/." + d.stem + ".sock." + std::to_string(getpid());
    sockaddr_un addr{}, tmpAddr{};
    if (!fillAddress(addr, sockPath) || !fillAddress(tmpAddr, tmpPath)) {
        error = "socket path too long: " + sockPath;
        return false;
    }
    // A socket left by an emulator that was killed is removed; a live one means the device is
    // already served.
    if (access(sockPath.c_str(), F_OK) == 0) {
        const int probe = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        const bool live = probe >= 0 && connect(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        if (probe >= 0) close(probe);
        if (live) {
            error = "device " + d.stem + " is already served at " + sockPath;
            return false;
        }
        unlink(sockPath.c_str());
    }

    const Identity id = identityOf(d.options.firmware.model);
    const auto rdesc = reportDescriptor(d.options.firmware.model);
    char info[256];
    std::snprintf(info, sizeof info, "vid=%04x\npid=%04x\nversion=%04x\nname=%s\n", id.vid, id.pid, id.version,
                  id.name.c_str());
    if (!writeFileAtomically(base + ".rdesc", std::string(rdesc.begin(), rdesc.end()), error) ||
        !writeFileAtomically(base + ".info", info, error))
        return false;

    const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    unlink(tmpPath.c_str());
    // Bound under a temporary name and renamed, so the socket appears complete and listening.
    if (bind(fd, reinterpret_cast<sockaddr*>(&tmpAddr), sizeof tmpAddr) != 0 || listen(fd, 16) != 0 ||
        rename(tmpPath.c_str(), sockPath.c_str()) != 0) {
        error = "cannot serve " + sockPath + ": " + std::strerror(errno);
        close(fd);
        unlink(tmpPath.c_str());
        return false;
    }
    d.listenFd = fd;
    d.outFree = d.inFree = Clock::time_point{};
    return true;
}

void Emulator::unplug(Device& d) {
    if (!d.plugged()) return;
    // Connections still waiting in the backlog are closed like the others, not reset.
    acceptConnections(d);
    const std::string base = options_.dir + "/" + d.stem;
    // The socket goes first: a device counts as present while its socket exists.
    unlink((base + ".sock").c_str());
    close(d.listenFd);
    d.listenFd = -1;
    for (Connection& c : d.connections)
        if (c.fd >= 0) close(c.fd);
    d.connections.clear();
    unlink((base + ".rdesc").c_str());
    unlink((base + ".info").c_str());
    ++d.generation;
}

Emulator::Device* Emulator::findDevice(std::string_view name, std::string& error) {
    for (Device& d : devices_)
        if (d.stem == name) return &d;
    error = "no device '" + std::string(name) + "'";
    return nullptr;
}

void Emulator::trace(const Device& d, const char* what, const std::uint8_t* bytes, std::size_t n) const {
    static const bool debug = [] {
        const char* v = std::getenv("KAVREL_DEBUG");
        return v && std::string_view(v) == "1";
    }();
    if (!options_.verbose && !debug) return;
    const std::string line = "kavrel-devsim: " + d.stem + " " + what + " " + hex(bytes, n) + "\n";
    (void)!write(STDERR_FILENO, line.data(), line.size());
}

Clock::time_point Emulator::transferDone(Clock::time_point& endpointFree, Clock::time_point ready) {
    if (options_.usbIntervalMs == 0) return ready;
    const Clock::time_point start = std::max(ready, endpointFree);
    endpointFree = start + std::chrono::milliseconds(options_.usbIntervalMs);
    return endpointFree;
}

void Emulator::schedule(Clock::time_point due, Event ev) {
    if (due <= Clock::now() && events_.empty()) {
        runEvent(ev);
        return;
    }
    events_.emplace(due, std::move(ev));
    runDueEvents();
}

void Emulator::runDueEvents() {
    // An Unplug event clears connections; callers look connections up again by id afterwards.
    while (!events_.empty() && events_.begin()->first <= Clock::now()) {
        Event ev = std::move(events_.begin()->second);
        events_.erase(events_.begin());
        runEvent(ev);
    }
}

void Emulator::runEvent(Event& ev) {
    Device& d = devices_[ev.device];
    if (ev.generation != d.generation || !d.plugged()) return;
    switch (ev.kind) {
    case EventKind::Ack:
        for (Connection& c : d.connections)
            if (c.id == ev.connection) sendTo(c, std::move(ev.message));
        break;
    case EventKind::Input:
        // A connect that completed before this report gets it, as an open hidraw node would.
        acceptConnections(d);
        trace(d, "in ", ev.message.data() + 1, ev.message.size() - 1);
        for (Connection& c : d.connections) sendTo(c, ev.message);
        break;
    case EventKind::Unplug: unplug(d); break;
    }
}

void Emulator::sendTo(Connection& c, std::vector<std::uint8_t> msg) {
    if (c.fd < 0) return;
    if (c.queue.empty()) {
        const ssize_t n = send(c.fd, msg.data(), msg.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n >= 0) return;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            close(c.fd);
            c.fd = -1; // swept from the list by the poll loop
            return;
        }
    }
    // A client that does not read loses its oldest input reports, as a full hidraw buffer does;
    // write acknowledgements are never dropped.
    if (msg[0] == kMsgInput) {
        std::size_t inputs = 0;
        for (const auto& m : c.queue) inputs += m[0] == kMsgInput;
        if (inputs >= kMaxQueuedReports) {
            auto oldest = std::find_if(c.queue.begin(), c.queue.end(),
                                       [](const auto& m) { return m[0] == kMsgInput; });
            c.queue.erase(oldest);
        }
    }
    c.queue.push_back(std::move(msg));
}

void Emulator::flush(Connection& c) {
    while (c.fd >= 0 && !c.queue.empty()) {
        const auto& m = c.queue.front();
        const ssize_t n = send(c.fd, m.data(), m.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) return;
            close(c.fd);
            c.fd = -1;
            return;
        }
        c.queue.pop_front();
    }
}

void Emulator::acceptConnections(Device& d) {
    for (;;) {
        const int fd = accept4(d.listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;
        d.connections.push_back(Connection{fd, nextConnection_++, {}});
    }
}

void Emulator::receive(std::size_t di, Connection& conn) {
    const std::uint64_t id = conn.id;
    for (int budget = 0; budget < 64; ++budget) {
        Device& d = devices_[di];
        auto it = std::find_if(d.connections.begin(), d.connections.end(),
                               [id](const Connection& c) { return c.id == id && c.fd >= 0; });
        if (it == d.connections.end()) return;
        std::uint8_t buf[512];
        const ssize_t n = recv(it->fd, buf, sizeof buf, MSG_DONTWAIT | MSG_TRUNC);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return;
            close(it->fd);
            it->fd = -1;
            return;
        }
        if (n == 0) { // the client closed the connection
            close(it->fd);
            it->fd = -1;
            return;
        }
        const std::size_t len = static_cast<std::size_t>(n);
        if (buf[0] != kMsgOutput || len < 2 || len > sizeof buf) {
            // Not a message a client sends, or longer than any report: refused as a failed write.
            trace(d, "bad message", buf, std::min(len, sizeof buf));
            sendTo(*it, {kMsgAck, 1});
            continue;
        }
        handleOutputReport(di, id, buf + 1, len - 1);
    }
}

void Emulator::handleOutputReport(std::size_t di, std::uint64_t conn, const std::uint8_t* report, std::size_t n) {
    Device& d = devices_[di];
    const Clock::time_point now = Clock::now();
    const Model model = d.options.firmware.model;
    auto ack = [&](Clock::time_point due, std::uint8_t result) {
        schedule(due, Event{EventKind::Ack, di, d.generation, conn, {kMsgAck, result}});
    };

    if (report[0] != kVendorReportId) {
        // The keyboard's LED report is taken (and has no effect here); no other report exists.
        const bool led = model == Model::Keyboard && report[0] == kKeyboardLedReportId &&
                         n == kKeyboardLedReportSize;
        trace(d, led ? "led" : "unknown report", report, n);
        ack(transferDone(d.outFree, now), led ? 0 : 1);
        return;
    }

    const std::uint64_t frame = ++d.frames;
    const Faults& f = d.options.faults;
    trace(d, ("out #" + std::to_string(frame)).c_str(), report, n);
    FrameLogEntry entry;
    entry.out.assign(report, report + n);
    const Clock::time_point written = transferDone(d.outFree, now);
    Clock::time_point last = written;

    if (n != kReportSize || f.failWrite.count(frame)) {
        // A report of the wrong length is not one the device can take.
        ack(written, 1);
    } else {
        ack(written, 0);
        if (!f.noAnswer && frame > f.noAnswerFirst) {
            Report request{};
            std::copy_n(report, kReportSize, request.begin());
            Report answer = f.statusFF.count(frame)   ? Firmware::answerWithStatus(request, status::kBadChecksum)
                            : f.statusFE.count(frame) ? Firmware::answerWithStatus(request, status::kRejected)
                                                      : d.firmware->handle(request);
            entry.in.assign(answer.begin(), answer.end());
            std::vector<std::uint8_t> msg{kMsgInput};
            msg.insert(msg.end(), answer.begin(), answer.end());
            if (f.lateAnswer.count(frame)) {
                // A late answer does not hold up the endpoint for the answers that follow it.
                Clock::time_point free = written + std::chrono::milliseconds(kLateAnswerMs);
                last = transferDone(free, free);
            } else {
                last = transferDone(d.inFree, written);
            }
            schedule(last, Event{EventKind::Input, di, d.generation, 0, std::move(msg)});
        }
    }
    d.log.push_back(std::move(entry));
    if (d.log.size() > kMaxLogEntries) {
        d.log.pop_front();
        ++d.logDropped;
    }
    if (f.disconnectAfter.count(frame))
        events_.emplace(last, Event{EventKind::Unplug, di, d.generation, 0, {}});
}

void Emulator::closeConnection(Device& d, std::size_t index) {
    if (d.connections[index].fd >= 0) close(d.connections[index].fd);
    d.connections.erase(d.connections.begin() + static_cast<std::ptrdiff_t>(index));
}

std::string Emulator::command(std::string_view line) {
    const auto w = words(line);
    if (w.empty()) return "";
    std::string error;
    if (w[0] == "quit" && w.size() == 1) {
        stop_ = true;
        return "ok";
    }
    if (w[0] == "dump" && w.size() <= 2) {
        const std::string file = w.size() == 2 ? std::string(w[1]) : options_.dumpFile;
        if (file.empty()) {
            // One reply line: the dump's line breaks are only whitespace between tokens.
            std::string json = dumpJson();
            std::replace(json.begin(), json.end(), '\n', ' ');
            while (!json.empty() && json.back() == ' ') json.pop_back();
            return json;
        }
        return writeDump(file, error) ? "ok" : "error: " + error;
    }
    if ((w[0] == "plug" || w[0] == "unplug") && w.size() == 2) {
        Device* d = findDevice(w[1], error);
        if (!d) return "error: " + error;
        if (w[0] == "unplug") {
            if (!d->plugged()) return "error: " + d->stem + " is not plugged in";
            unplug(*d);
            return "ok";
        }
        if (d->plugged()) return "error: " + d->stem + " is already plugged in";
        return plug(*d, error) ? "ok" : "error: " + error;
    }
    if (w[0] == "announce" && w.size() == 3) {
        Device* d = findDevice(w[1], error);
        if (!d) return "error: " + error;
        if (!d->plugged()) return "error: " + d->stem + " is not plugged in";
        std::string_view u = w[2];
        if (u.starts_with("0x") || u.starts_with("0X")) u.remove_prefix(2);
        unsigned long usage = 0;
        char* end = nullptr;
        const std::string us(u);
        usage = std::strtoul(us.c_str(), &end, 16);
        if (us.empty() || *end != '\0' || usage > 0xFFFF) return "error: bad usage '" + std::string(w[2]) + "'";
        const std::size_t di = static_cast<std::size_t>(d - devices_.data());
        d->announcements.push_back(static_cast<std::uint16_t>(usage));
        // The usage and then its release, as a consumer control reports a key press.
        Clock::time_point due = Clock::now();
        for (std::uint16_t value : {static_cast<std::uint16_t>(usage), std::uint16_t{0}}) {
            std::vector<std::uint8_t> msg{kMsgInput};
            const auto r = consumerReport(value);
            msg.insert(msg.end(), r.begin(), r.end());
            due = transferDone(d->inFree, due);
            schedule(due, Event{EventKind::Input, di, d->generation, 0, std::move(msg)});
        }
        return "ok";
    }
    return "error: unknown command '" + std::string(line) + "'";
}

std::string Emulator::dumpJson() const {
    std::ostringstream o;
    o << "{";
    bool firstDevice = true;
    for (const Device& d : devices_) {
        const Identity id = identityOf(d.options.firmware.model);
        const Firmware& fw = *d.firmware;
        o << (firstDevice ? "" : ",") << "\n" << jsonString(d.stem) << ": {";
        firstDevice = false;
        o << "\"name\": " << jsonString(d.stem) << ", \"vid\": " << id.vid << ", \"pid\": " << id.pid
          << ", \"version\": " << id.version << ", \"plugged\": " << (d.plugged() ? "true" : "false")
          << ", \"keySlots\": " << unsigned{fw.config().keySlots}
          << ", \"macroUnits\": " << unsigned{fw.config().macroUnits} << ", \"sensor\": " << fw.config().sensor
          << ", \"inSession\": " << (fw.inSession() ? "true" : "false") << ", \"frameCount\": " << d.frames
          << ", \"logDropped\": " << d.logDropped << ", \"lightingFrames\": " << fw.lightingFramesStarted()
          << ",\n \"memory\": {\"info\": \"" << hex(fw.info()) << "\", \"records\": \"" << hex(fw.records())
          << "\", \"defaultKeys\": \"" << hex(fw.defaultKeys()) << "\", \"keyBlocks\": \"" << hex(fw.keyBlocks())
          << "\", \"macro\": \"" << hex(fw.macroImage()) << "\", \"recoil\": \"" << hex(fw.recoilImage())
          << "\", \"lighting\": \"" << hex(fw.lightingFrame()) << "\"},\n \"announcements\": [";
        for (std::size_t i = 0; i < d.announcements.size(); ++i) o << (i ? ", " : "") << d.announcements[i];
        o << "],\n \"log\": [";
        bool firstEntry = true;
        for (const FrameLogEntry& e : d.log) {
            o << (firstEntry ? "" : ",") << "\n  {\"out\": \"" << hex(e.out) << "\", \"in\": ";
            firstEntry = false;
            if (e.in.empty())
                o << "null}";
            else
                o << "\"" << hex(e.in) << "\"}";
        }
        o << "]}";
    }
    o << "\n}\n";
    std::string s = o.str();
    return s;
}

bool Emulator::writeDump(const std::string& path, std::string& error) const {
    return writeFileAtomically(path, dumpJson(), error);
}

void Emulator::readStdin() {
    char buf[4096];
    const ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (n <= 0) {
        stdinOpen_ = false;
        if (!stdinBuffer_.empty()) stdinBuffer_.push_back('\n'); // a last line without newline
        if (options_.exitOnEof) stop_ = true;
    } else {
        stdinBuffer_.append(buf, static_cast<std::size_t>(n));
        if (stdinBuffer_.size() > kMaxCommandLine && stdinBuffer_.find('\n') == std::string::npos) {
            stdinBuffer_.clear();
            std::fputs("error: command line too long\n", stdout);
            std::fflush(stdout);
        }
    }
    std::size_t nl;
    while (!stop_ && (nl = stdinBuffer_.find('\n')) != std::string::npos) {
        const std::string line = stdinBuffer_.substr(0, nl);
        stdinBuffer_.erase(0, nl + 1);
        const std::string reply = command(line);
        if (reply.empty()) continue;
        std::fwrite(reply.data(), 1, reply.size(), stdout);
        if (reply.back() != '\n') std::fputc('\n', stdout);
        std::fflush(stdout);
    }
}

int Emulator::run() {
    struct Ready {
        std::size_t device;
        std::uint64_t connection; // 0: the listening socket
        short revents;
    };
    std::vector<pollfd> fds;
    std::vector<Ready> owners;
    while (!stop_) {
        if (g_stopSignal) break;
        if (parent_ != 0 && getppid() != parent_) break;
        runDueEvents();
        for (Device& d : devices_)
            for (std::size_t i = d.connections.size(); i-- > 0;)
                if (d.connections[i].fd < 0) closeConnection(d, i);

        fds.clear();
        owners.clear();
        if (stdinOpen_) {
            fds.push_back({STDIN_FILENO, POLLIN, 0});
            owners.push_back({SIZE_MAX, 0, 0});
        }
        for (std::size_t di = 0; di < devices_.size(); ++di) {
            Device& d = devices_[di];
            if (!d.plugged()) continue;
            fds.push_back({d.listenFd, POLLIN, 0});
            owners.push_back({di, 0, 0});
            for (const Connection& c : d.connections) {
                fds.push_back({c.fd, static_cast<short>(POLLIN | (c.queue.empty() ? 0 : POLLOUT)), 0});
                owners.push_back({di, c.id, 0});
            }
        }
        // Wake at least every 100 ms to notice a parent that has gone.
        auto wait = std::chrono::nanoseconds(std::chrono::milliseconds(100));
        if (!events_.empty()) {
            auto left = std::max(std::chrono::nanoseconds(0),
                                 std::chrono::nanoseconds(events_.begin()->first - Clock::now()));
            // Under the USB timing model a timed wake-up comes tens of microseconds late, which adds
            // up over thousands of reports; the wait ends early and the rest is polled.
            if (options_.usbIntervalMs > 0) left = left <= kSpinWindow ? std::chrono::nanoseconds(0) : left - kSpinWindow;
            wait = std::min(wait, left);
        }
        timespec ts{static_cast<time_t>(wait.count() / 1000000000), static_cast<long>(wait.count() % 1000000000)};
        const int rc = ppoll(fds.data(), fds.size(), &ts, g_handlersInstalled ? &g_waitMask : nullptr);
        if (rc < 0) {
            if (errno == EINTR) continue;
            std::perror("kavrel-devsim: ppoll");
            return 1;
        }
        for (std::size_t i = 0; i < fds.size(); ++i) owners[i].revents = fds[i].revents;
        runDueEvents();
        for (const Ready& r : owners) {
            if (r.revents == 0 || stop_) continue;
            if (r.device == SIZE_MAX) {
                readStdin();
                continue;
            }
            Device& d = devices_[r.device];
            if (!d.plugged()) continue;
            if (r.connection == 0) {
                acceptConnections(d);
                continue;
            }
            auto it = std::find_if(d.connections.begin(), d.connections.end(),
                                   [&](const Connection& c) { return c.id == r.connection; });
            if (it == d.connections.end() || it->fd < 0) continue;
            if (r.revents & POLLOUT) flush(*it);
            if (r.revents & (POLLIN | POLLHUP | POLLERR)) receive(r.device, *it);
        }
    }
    if (!options_.dumpFile.empty()) {
        std::string error;
        if (!writeDump(options_.dumpFile, error)) std::fprintf(stderr, "kavrel-devsim: %s\n", error.c_str());
    }
    for (Device& d : devices_) unplug(d);
    return 0;
}

} // namespace kavrel::sim
