// The HID layer: enumeration of HID top-level collections and report transfer, over Linux hidraw
// nodes and the emulator's virtual devices (docs/virtual-hid.md) side by side.
//
// Every top-level collection is an interface of its own, with a path such as
//   "/dev/hidraw3?vid_0c45&pid_7643&col02"            (hidraw)
//   "vhid:/run/user/0/kavrel/virtual-hid/mouse.sock?vid_0c45&pid_7643&col01"   (virtual)
// A node carries all collections of its interface; a Connection opened on one collection keeps
// only that collection's input reports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "kavrel/hid/report_descriptor.h"

namespace kavrel::hid {

inline constexpr int kInfinite = -1;

struct Attributes {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t versionNumber = 0;
};

// Where the backends look. Tests point them at fixture trees; empty strings mean the defaults
// ("/sys", "/dev", and $KAVREL_VHID_DIR else $XDG_RUNTIME_DIR/kavrel/virtual-hid).
struct Roots {
    std::string sysfs;
    std::string dev;
    std::string virtualDir;
    bool hidraw = true;
    bool virtualDevices = true;
};
void setRoots(const Roots& roots);
Roots roots();
std::string virtualDeviceDir(); // the resolved folder of virtual devices

// Interface paths of every collection present, hidraw nodes first, each node's collections in
// descriptor order. Unreadable nodes are skipped. Never fails: no devices is an empty list.
std::vector<std::string> enumerateInterfaces();

// True while the node behind the path exists and can be opened (or, for a virtual device,
// accepts a connection); nothing stays open. The presence probe of the watchers.
bool probeInterface(const std::string& path);

// Splits an interface path into its node and 1-based collection number (1 when absent).
struct ParsedPath {
    std::string node; // "/dev/hidraw3" or "vhid:/.../mouse.sock"
    int collection = 1;
};
ParsedPath parseInterfacePath(const std::string& path);

enum class TransferResult : std::uint8_t { Done, TimedOut, Aborted, Failed };

// One open collection. Thread-safe: one reader and one writer may run at the same time, and
// abort() from any thread releases them.
class Connection {
public:
    virtual ~Connection() = default;

    const ReportDescriptor& descriptor() const { return descriptor_; }
    const TopCollection& collection() const { return descriptor_.collections[index_]; }
    const Attributes& attributes() const { return attributes_; }
    const std::string& path() const { return path_; }

    // One input report of this collection, report-id byte first (0 when the descriptor uses no
    // report ids). Reports of other collections are skipped. *received is the report's own
    // length, which may differ from the descriptor's when the device lies; at most
    // buffer.size() bytes are stored.
    virtual TransferResult read(std::span<std::uint8_t> buffer, std::size_t* received, int timeoutMs) = 0;
    // One output report, report-id byte first.
    virtual TransferResult write(std::span<const std::uint8_t> report, int timeoutMs) = 0;
    // Drops the input reports already queued for this collection without waiting.
    virtual void drainInput() = 0;
    // Wakes every waiting transfer; from then on every transfer returns Aborted at once. The
    // owner calls it before destroying a connection that another thread may be using.
    virtual void abort() = 0;

protected:
    ReportDescriptor descriptor_;
    std::size_t index_ = 0;
    Attributes attributes_;
    std::string path_;
};

struct OpenOptions {
    bool read = true;
    bool write = true;
    bool exclusive = false;
};

// Opens one collection; nullptr when the path does not name a present collection.
std::unique_ptr<Connection> openInterface(const std::string& path, const OpenOptions& options);

} // namespace kavrel::hid
