#include "kavrel/device/device_channel.h"

#include <algorithm>
#include <array>

namespace kavrel {

DeviceChannel::~DeviceChannel() {
    std::lock_guard lock(lock_);
    vendorId_ = productId_ = usage_ = usagePage_ = 0;
    connected = false;
}

void DeviceChannel::SetIdentity(std::uint16_t vendorId, std::uint16_t productId, std::uint16_t usage,
                                std::uint16_t usagePage) {
    vendorId_ = vendorId;
    productId_ = productId;
    usage_ = usage;
    usagePage_ = usagePage;
    connected = false;
}

bool DeviceChannel::SetBlockSize(std::uint16_t size) {
    if (size > kMaxBlockSize) return false;
    blockSize_ = size;
    return true;
}

int DeviceChannel::Transact(const std::uint8_t* request, std::size_t count, std::uint8_t* answer,
                            std::size_t answerSize, std::size_t* answerBytes) {
    return transact(request, count, answer, answerSize, answerBytes, true);
}

int DeviceChannel::TransactKeepingConnection(const std::uint8_t* request, std::size_t count, std::uint8_t* answer,
                                             std::size_t answerSize, std::size_t* answerBytes) {
    return transact(request, count, answer, answerSize, answerBytes, false);
}

int DeviceChannel::transact(const std::uint8_t* request, std::size_t count, std::uint8_t* answer,
                            std::size_t answerSize, std::size_t* answerBytes, bool disconnectOnFailedWrite) {
    if (answerBytes) *answerBytes = 0;
    if (!connected) return 0;
    std::array<std::uint8_t, kFrameSize> frame{};
    if (request) std::copy_n(request, std::min(count, frame.size()), frame.begin());
    for (int attempt = 0; attempt < kTransactAttempts; ++attempt) {
        // One lock from the write through its read: a concurrent exchange cannot take this answer.
        std::lock_guard lock(lock_);
        if (!connected) return 0; // another thread lost the device meanwhile
        device_.DrainInput();     // a late answer to an earlier, timed-out request
        if (!device_.WriteReport(frame.size(), frame.data(), kWriteTimeoutMs)) {
            if (disconnectOnFailedWrite) {
                connected = false;
                device_.SetDevicePath(" ");
            }
            return -1;
        }
        std::size_t got = 0;
        if (answer && answerSize && device_.ReadReport(answerSize, answer, kReadTimeoutMs, &got)) {
            if (answerBytes) *answerBytes = got;
            return 1;
        }
    }
    return 0;
}

int DeviceChannel::Exchange(const std::uint8_t* request, std::size_t count) {
    if (!connected) return 0;
    std::array<std::uint8_t, kFrameSize> frame{};
    if (request) std::copy_n(request, std::min(count, frame.size()), frame.begin());
    std::array<std::uint8_t, kFrameSize> scratch{};
    std::lock_guard lock(lock_);
    device_.DrainInput();
    if (!device_.WriteReport(frame.size(), frame.data(), kWriteTimeoutMs)) return 0;
    return device_.ReadReport(scratch.size(), scratch.data(), kReadTimeoutMs) ? 1 : 0;
}

} // namespace kavrel
