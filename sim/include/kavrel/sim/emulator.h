// The emulator: serves every configured device on its Unix seqpacket socket (the wire format of
// docs/virtual-hid.md), runs the fault and USB timing models, takes commands from standard input
// and writes the state dump. One thread runs everything from a poll loop.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kavrel/sim/firmware.h"
#include "kavrel/sim/options.h"

namespace kavrel::sim {

using Clock = std::chrono::steady_clock;

// One line of the frame log: an output report and its answer (empty when none was sent).
struct FrameLogEntry {
    std::vector<std::uint8_t> out;
    std::vector<std::uint8_t> in;
};

class Emulator {
public:
    explicit Emulator(Options options);
    ~Emulator(); // unplugs every device
    Emulator(const Emulator&) = delete;
    Emulator& operator=(const Emulator&) = delete;

    // Creates the device folder and plugs every device. False with a message on failure.
    bool start(std::string& error);

    // Serves until "quit", a stop signal (installStopSignalHandlers), the end of standard input
    // with --exit-on-eof, or the death of the parent given to watchParent. Returns the exit code.
    int run();

    // Runs one command line ("announce mouse 0x401", "dump", "unplug pad", ...); the reply is
    // "ok" or "error: ...". Sets the stop request on "quit".
    std::string command(std::string_view line);

    // The state dump as JSON.
    std::string dumpJson() const;
    // Writes the dump atomically (a temporary file renamed over path).
    bool writeDump(const std::string& path, std::string& error) const;

    // Ends run() when getppid() is no longer parent.
    void watchParent(pid_t parent) { parent_ = parent; }

    static constexpr std::size_t kMaxLogEntries = 100000;
    static constexpr std::size_t kMaxQueuedReports = 64; // per connection, as hidraw's buffer

private:
    struct Connection {
        int fd = -1;
        std::uint64_t id = 0;
        std::deque<std::vector<std::uint8_t>> queue; // waiting for the socket to take them
    };
    struct Device {
        DeviceOptions options;
        std::unique_ptr<Firmware> firmware;
        std::string stem;
        int listenFd = -1;
        std::uint64_t generation = 0; // bumped by every unplug; stale timed events are dropped
        std::vector<Connection> connections;
        std::uint64_t frames = 0;
        std::deque<FrameLogEntry> log;
        std::uint64_t logDropped = 0;
        std::vector<std::uint16_t> announcements;
        Clock::time_point outFree{}, inFree{}; // USB timing model: when each endpoint is free
        bool plugged() const { return listenFd >= 0; }
    };
    enum class EventKind { Ack, Input, Unplug };
    struct Event {
        EventKind kind;
        std::size_t device;
        std::uint64_t generation;
        std::uint64_t connection; // Ack only
        std::vector<std::uint8_t> message;
    };

    Device* findDevice(std::string_view name, std::string& error);
    bool plug(Device& d, std::string& error);
    void unplug(Device& d);
    void acceptConnections(Device& d);
    void receive(std::size_t di, Connection& c);
    void handleOutputReport(std::size_t di, std::uint64_t conn, const std::uint8_t* report, std::size_t n);
    void schedule(Clock::time_point due, Event ev);
    void runEvent(Event& ev);
    void runDueEvents();
    void sendTo(Connection& c, std::vector<std::uint8_t> msg);
    void flush(Connection& c);
    void closeConnection(Device& d, std::size_t index);
    void readStdin();
    Clock::time_point transferDone(Clock::time_point& endpointFree, Clock::time_point ready);
    void trace(const Device& d, const char* what, const std::uint8_t* bytes, std::size_t n) const;

    Options options_;
    std::vector<Device> devices_;
    std::multimap<Clock::time_point, Event> events_;
    std::uint64_t nextConnection_ = 1;
    bool stop_ = false;
    bool stdinOpen_ = true;
    std::string stdinBuffer_;
    pid_t parent_ = 0;
};

// Blocks SIGTERM, SIGINT and SIGHUP outside the emulator's wait and makes them end run().
void installStopSignalHandlers();

} // namespace kavrel::sim
