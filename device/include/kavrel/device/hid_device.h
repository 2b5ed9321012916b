// One HID top-level collection, opened and closed many times over its life: enumeration of the
// interface paths, open with its description (attributes, capabilities, report items), report
// transfer with time-outs, and decoding of input reports into usages.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kavrel/hid/hid.h"

namespace kavrel {

// Longest device path kept, as the platform path buffer holds 259 characters.
inline constexpr std::size_t kMaxDevicePath = 259;
// Time-out meaning "wait until a report comes or the device is closed".
inline constexpr int kInfiniteTimeout = hid::kInfinite;

using HidAttributes = hid::Attributes;

// Top-level usage and report lengths (each including the report-id byte) and capability counts.
struct HidCaps {
    std::uint16_t usage = 0;
    std::uint16_t usagePage = 0;
    std::uint16_t inputReportByteLength = 0;
    std::uint16_t outputReportByteLength = 0;
    std::uint16_t featureReportByteLength = 0;
    std::uint16_t numberInputButtonCaps = 0;
    std::uint16_t numberInputValueCaps = 0;
    std::uint16_t numberOutputButtonCaps = 0;
    std::uint16_t numberOutputValueCaps = 0;
    std::uint16_t numberFeatureButtonCaps = 0;
    std::uint16_t numberFeatureValueCaps = 0;
};

// One decoded item of a report: a button capability (the set usages of its range) or one usage
// of a value capability.
struct HidReportItem {
    bool isButton = false;
    std::uint16_t usagePage = 0;
    hid::HidStatus status = hid::HidStatus::Success;
    std::uint32_t reportId = 0;
    bool isSet = false;
    // button part
    std::uint32_t lowestUsage = 0;
    std::uint32_t highestUsage = 0;
    std::uint32_t capacity = 0;            // length of usageList
    std::vector<std::uint16_t> usageList;  // set usages in range, ended by 0 when shorter than capacity
    // value part
    std::uint16_t usage = 0;
    std::uint32_t rawValue = 0;
    std::int32_t scaledValue = 0;
};

// Buffer, items and capabilities of one report type, prepared at open.
struct HidReport {
    std::vector<std::uint8_t> buffer; // zeroed, of the report length
    std::vector<HidReportItem> items;
    std::size_t itemCount = 0;
    std::vector<hid::ButtonCaps> buttonCaps;
    std::vector<hid::ValueCaps> valueCaps;
};

// The 16-bit hexadecimal number after the first "vid_" / "pid_" (any case), or 0 without it.
std::uint16_t VendorIdFromPath(std::string_view path);
std::uint16_t ProductIdFromPath(std::string_view path);

// Thread safety: ReadReport and WriteReport may run on other threads than Open and Close; Close
// and Open release a transfer that is waiting (the abort role) and wait until it has left. The
// path list and the report parts belong to the thread that enumerates and opens.
class HidDevice {
public:
    HidDevice();
    ~HidDevice();
    HidDevice(const HidDevice&) = delete;
    HidDevice& operator=(const HidDevice&) = delete;

    // Fills the path list with every interface present (capacity 8, doubling as needed).
    bool EnumerateInterfaces();
    // The next path of the list in index order, or nothing when the list is empty or exhausted.
    std::optional<std::string> NextInterfacePath();
    void FreeInterfacePaths();
    std::uint32_t PathCount() const { return pathCount_; }
    std::uint32_t PathCapacity() const { return static_cast<std::uint32_t>(paths_.size()); }

    // Opens one collection by its interface path and describes it. False leaves nothing open.
    // The overlapped option is kept for callers' sake: every transfer here is asynchronous.
    bool Open(const std::string& path, bool read, bool write, bool overlapped, bool exclusive);
    void Close();
    bool IsOpen() const;
    // Releases a transfer waiting on the open collection, from any thread, without closing or
    // releasing anything: every later transfer of this opening fails at once (the next Open
    // starts afresh). Wakes a reader blocked without a time-out at shutdown.
    void Abort();

    // One input report of this collection into buffer (at most length bytes). A report shorter
    // than the collection's input report length is zero-padded to it, a longer one cut, so
    // callers always see whole reports. timeoutMs may be kInfiniteTimeout.
    bool ReadReport(std::size_t length, std::uint8_t* buffer, int timeoutMs, std::size_t* bytesRead = nullptr);
    // One output report (report-id byte first), zero-padded or cut to the output report length.
    bool WriteReport(std::size_t length, const std::uint8_t* buffer, int timeoutMs,
                     std::size_t* bytesWritten = nullptr);
    // Drops input reports of this collection that are already waiting.
    void DrainInput();

    // Decodes a report into the items whose report id equals its first byte. False when a raw
    // value could not be read; the decode stops there.
    bool UnpackInputReport(const std::uint8_t* report, std::size_t length, std::span<HidReportItem> items);

    std::string DevicePath() const;
    void SetDevicePath(std::string path); // cut to kMaxDevicePath
    HidCaps Capabilities() const;
    HidAttributes Attributes() const;
    // The parsed descriptor of the open collection (nullptr when closed); owner thread only.
    const hid::TopCollection* Collection() const;

    HidReport& InputReport() { return report_[0]; }
    HidReport& OutputReport() { return report_[1]; }
    HidReport& FeatureReport() { return report_[2]; }

    bool readAccess() const { return readAccess_; }
    bool writeAccess() const { return writeAccess_; }
    bool overlapped() const { return overlapped_; }
    bool exclusive() const { return exclusive_; }

private:
    void closeLocked(std::unique_lock<std::mutex>& lock);
    void releaseReports();

    std::vector<std::optional<std::string>> paths_;
    std::uint32_t pathCount_ = 0;
    std::uint32_t pathCursor_ = 0;
    bool readAccess_ = false;
    bool writeAccess_ = false;
    bool overlapped_ = false;
    bool exclusive_ = false;

    mutable std::mutex mutex_; // guards connection_, devicePath_, caps_, attributes_, pending counts
    std::condition_variable idle_;
    std::unique_ptr<hid::Connection> connection_;
    std::string devicePath_;
    HidCaps caps_;
    HidAttributes attributes_;
    HidReport report_[hid::kReportTypes];
    int readPending_ = 0;
    int writePending_ = 0;
};

} // namespace kavrel
