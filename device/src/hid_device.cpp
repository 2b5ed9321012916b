#include "kavrel/device/hid_device.h"

#include <algorithm>
#include <cctype>

namespace kavrel {

namespace {

std::uint16_t hexAfter(std::string_view path, std::string_view marker) {
    for (std::size_t i = 0; i + marker.size() <= path.size(); ++i) {
        bool match = true;
        for (std::size_t k = 0; k < marker.size() && match; ++k)
            match = std::tolower(static_cast<unsigned char>(path[i + k])) == marker[k];
        if (!match) continue;
        std::uint32_t v = 0;
        for (std::size_t k = i + marker.size(); k < path.size(); ++k) {
            const auto c = static_cast<unsigned char>(path[k]);
            if (!std::isxdigit(c)) break;
            v = (v << 4 | static_cast<std::uint32_t>(std::isdigit(c) ? c - '0' : std::tolower(c) - 'a' + 10)) & 0xFFFF;
        }
        return static_cast<std::uint16_t>(v);
    }
    return 0;
}

// Items of one report type: one per button capability, then one per usage of each value capability.
void buildItems(HidReport& r, std::size_t type, const hid::TopCollection& c) {
    const std::size_t target = r.buttonCaps.size() + [&] {
        std::size_t n = 0;
        for (const auto& v : r.valueCaps) n += static_cast<std::size_t>(v.usageMax - v.usageMin) + 1;
        return n;
    }();
    r.items.clear();
    r.items.reserve(target);
    for (const hid::ButtonCaps& b : r.buttonCaps) {
        HidReportItem it;
        it.isButton = true;
        it.usagePage = b.usagePage;
        it.reportId = b.reportId;
        it.lowestUsage = b.usageMin;
        it.highestUsage = b.usageMax;
        it.capacity = static_cast<std::uint32_t>(
            std::max<std::size_t>(1, hid::maxUsageListLength(c, static_cast<hid::ReportType>(type), b.usagePage)));
        it.usageList.assign(it.capacity, 0);
        r.items.push_back(std::move(it));
    }
    for (const hid::ValueCaps& v : r.valueCaps) {
        for (std::uint32_t u = v.usageMin; u <= v.usageMax && r.items.size() < target; ++u) {
            HidReportItem it;
            it.usagePage = v.usagePage;
            it.reportId = v.reportId;
            it.usage = static_cast<std::uint16_t>(u);
            r.items.push_back(std::move(it));
        }
    }
    r.itemCount = r.items.size();
}

} // namespace

std::uint16_t VendorIdFromPath(std::string_view path) { return hexAfter(path, "vid_"); }
std::uint16_t ProductIdFromPath(std::string_view path) { return hexAfter(path, "pid_"); }

HidDevice::HidDevice() = default;

HidDevice::~HidDevice() {
    Close();
    FreeInterfacePaths();
}

bool HidDevice::EnumerateInterfaces() {
    std::vector<std::string> found = hid::enumerateInterfaces();
    std::vector<std::optional<std::string>> list;
    std::size_t capacity = 4;
    std::size_t index = 0;
    for (;;) {
        capacity *= 2; // 8, 16, 32, ...
        list.resize(capacity);
        for (; index < capacity && index < found.size(); ++index) list[index] = std::move(found[index]);
        if (index == found.size()) break;
    }
    paths_ = std::move(list);
    pathCount_ = static_cast<std::uint32_t>(found.size());
    pathCursor_ = 0;
    return true;
}

std::optional<std::string> HidDevice::NextInterfacePath() {
    while (pathCursor_ < pathCount_) {
        const auto& p = paths_[pathCursor_++];
        if (p) return *p;
    }
    return std::nullopt;
}

void HidDevice::FreeInterfacePaths() {
    paths_.clear();
    paths_.shrink_to_fit();
    pathCount_ = 0;
    pathCursor_ = 0;
}

void HidDevice::releaseReports() {
    for (HidReport& r : report_) r = HidReport{};
}

void HidDevice::closeLocked(std::unique_lock<std::mutex>& lock) {
    if (connection_ && (readPending_ || writePending_)) connection_->abort();
    idle_.wait(lock, [&] { return readPending_ == 0 && writePending_ == 0; });
    connection_.reset();
    caps_ = HidCaps{};
    attributes_ = HidAttributes{};
}

bool HidDevice::Open(const std::string& path, bool read, bool write, bool overlapped, bool exclusive) {
    std::unique_lock lock(mutex_);
    closeLocked(lock);
    releaseReports();
    readAccess_ = read;
    writeAccess_ = write;
    overlapped_ = overlapped;
    exclusive_ = exclusive;
    devicePath_ = path.substr(0, kMaxDevicePath);
    auto c = hid::openInterface(devicePath_, {read, write, exclusive});
    if (!c) return false;
    const hid::TopCollection& tc = c->collection();
    HidCaps caps;
    caps.usage = tc.usage;
    caps.usagePage = tc.usagePage;
    caps.inputReportByteLength = tc.inputReportLength();
    caps.outputReportByteLength = tc.outputReportLength();
    caps.featureReportByteLength = tc.featureReportLength();
    caps.numberInputButtonCaps = static_cast<std::uint16_t>(tc.buttonCaps[0].size());
    caps.numberInputValueCaps = static_cast<std::uint16_t>(tc.valueCaps[0].size());
    caps.numberOutputButtonCaps = static_cast<std::uint16_t>(tc.buttonCaps[1].size());
    caps.numberOutputValueCaps = static_cast<std::uint16_t>(tc.valueCaps[1].size());
    caps.numberFeatureButtonCaps = static_cast<std::uint16_t>(tc.buttonCaps[2].size());
    caps.numberFeatureValueCaps = static_cast<std::uint16_t>(tc.valueCaps[2].size());
    for (std::size_t t = 0; t < hid::kReportTypes; ++t) {
        HidReport& r = report_[t];
        r.buffer.assign(tc.reportLength[t], 0);
        r.buttonCaps = tc.buttonCaps[t];
        r.valueCaps = tc.valueCaps[t];
        buildItems(r, t, tc);
    }
    caps_ = caps;
    attributes_ = c->attributes();
    connection_ = std::move(c);
    return true;
}

void HidDevice::Close() {
    std::unique_lock lock(mutex_);
    closeLocked(lock);
    releaseReports();
}

void HidDevice::Abort() {
    std::lock_guard lock(mutex_);
    if (connection_) connection_->abort();
}

bool HidDevice::IsOpen() const {
    std::lock_guard lock(mutex_);
    return connection_ != nullptr;
}

bool HidDevice::ReadReport(std::size_t length, std::uint8_t* buffer, int timeoutMs, std::size_t* bytesRead) {
    if (bytesRead) *bytesRead = 0;
    hid::Connection* c;
    std::size_t want;
    {
        std::lock_guard lock(mutex_);
        if (!connection_ || !buffer || length == 0 || caps_.inputReportByteLength == 0) return false;
        c = connection_.get();
        want = std::min<std::size_t>(length, caps_.inputReportByteLength);
        ++readPending_;
    }
    std::size_t received = 0;
    const hid::TransferResult r = c->read(std::span(buffer, want), &received, timeoutMs);
    if (r == hid::TransferResult::Done) {
        // Whole reports only: a short one is padded, never leaving stale bytes behind.
        if (received < want) std::fill(buffer + received, buffer + want, std::uint8_t{0});
        if (bytesRead) *bytesRead = want;
    }
    {
        std::lock_guard lock(mutex_);
        --readPending_;
    }
    idle_.notify_all();
    return r == hid::TransferResult::Done;
}

bool HidDevice::WriteReport(std::size_t length, const std::uint8_t* buffer, int timeoutMs, std::size_t* bytesWritten) {
    if (bytesWritten) *bytesWritten = 0;
    hid::Connection* c;
    std::vector<std::uint8_t> report;
    {
        std::lock_guard lock(mutex_);
        if (!connection_ || !buffer || length == 0 || caps_.outputReportByteLength == 0) return false;
        c = connection_.get();
        report.assign(caps_.outputReportByteLength, 0);
        std::copy_n(buffer, std::min(length, report.size()), report.begin());
        ++writePending_;
    }
    const hid::TransferResult r = c->write(report, timeoutMs);
    if (r == hid::TransferResult::Done && bytesWritten) *bytesWritten = report.size();
    {
        std::lock_guard lock(mutex_);
        --writePending_;
    }
    idle_.notify_all();
    return r == hid::TransferResult::Done;
}

void HidDevice::DrainInput() {
    hid::Connection* c;
    {
        std::lock_guard lock(mutex_);
        if (!connection_) return;
        c = connection_.get();
        ++readPending_;
    }
    c->drainInput();
    {
        std::lock_guard lock(mutex_);
        --readPending_;
    }
    idle_.notify_all();
}

bool HidDevice::UnpackInputReport(const std::uint8_t* report, std::size_t length, std::span<HidReportItem> items) {
    const hid::TopCollection* tc = Collection();
    if (!tc || !report || length == 0) return false;
    const std::span<const std::uint8_t> data(report, length);
    std::vector<std::uint16_t> set;
    for (HidReportItem& it : items) {
        if (it.reportId != report[0]) continue;
        if (it.isButton) {
            it.status = hid::getUsages(*tc, hid::ReportType::Input, it.usagePage, data, set);
            std::size_t n = 0;
            for (std::uint16_t u : set) {
                if (u < it.lowestUsage || u > it.highestUsage) continue;
                if (n < it.usageList.size()) it.usageList[n++] = u;
            }
            if (n < it.usageList.size()) it.usageList[n] = 0;
        } else {
            it.status = hid::getUsageValue(*tc, hid::ReportType::Input, it.usagePage, it.usage, data, it.rawValue);
            if (it.status != hid::HidStatus::Success) {
                it.isSet = true;
                return false;
            }
            it.status = hid::getScaledUsageValue(*tc, hid::ReportType::Input, it.usagePage, it.usage, data,
                                                 it.scaledValue);
        }
        it.isSet = true;
    }
    return true;
}

std::string HidDevice::DevicePath() const {
    std::lock_guard lock(mutex_);
    return devicePath_;
}

void HidDevice::SetDevicePath(std::string path) {
    std::lock_guard lock(mutex_);
    devicePath_ = std::move(path);
    if (devicePath_.size() > kMaxDevicePath) devicePath_.resize(kMaxDevicePath);
}

HidCaps HidDevice::Capabilities() const {
    std::lock_guard lock(mutex_);
    return caps_;
}

HidAttributes HidDevice::Attributes() const {
    std::lock_guard lock(mutex_);
    return attributes_;
}

const hid::TopCollection* HidDevice::Collection() const {
    std::lock_guard lock(mutex_);
    return connection_ ? &connection_->collection() : nullptr;
}

} // namespace kavrel
