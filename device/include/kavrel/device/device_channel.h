// One channel per device of the family: identity, block size, the connected and sync flags, the
// vendor collection and the re-entrant transaction lock, with the locked write-then-read exchange
// every device command uses.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "kavrel/device/hid_device.h"

namespace kavrel {

inline constexpr std::size_t kFrameSize = 64;
inline constexpr std::uint16_t kMaxBlockSize = 512;
inline constexpr int kWriteTimeoutMs = 1000;
inline constexpr int kReadTimeoutMs = 300;
inline constexpr int kTransactAttempts = 4;

class DeviceChannel {
public:
    DeviceChannel() = default;
    ~DeviceChannel();
    DeviceChannel(const DeviceChannel&) = delete;
    DeviceChannel& operator=(const DeviceChannel&) = delete;

    // Stores the identity the presence watcher matches and marks the channel not connected.
    void SetIdentity(std::uint16_t vendorId, std::uint16_t productId, std::uint16_t usage, std::uint16_t usagePage);
    // False (value unchanged) above 512.
    bool SetBlockSize(std::uint16_t size);
    bool IsConnected() const { return connected.load(); }

    // Writes the request (zero-padded or cut to 64 bytes) and reads one answer of up to
    // answerSize bytes, up to four attempts. 1 answer received; 0 no answer or not connected;
    // -1 the request was not sent: the channel is then disconnected and its path set to " ".
    // The lock is held from each write through its read, and stale input is dropped before each
    // write, so an answer always belongs to the request just written.
    int Transact(const std::uint8_t* request, std::size_t count, std::uint8_t* answer, std::size_t answerSize,
                 std::size_t* answerBytes = nullptr);
    // As Transact, but a failed send leaves the connection and the path alone.
    int TransactKeepingConnection(const std::uint8_t* request, std::size_t count, std::uint8_t* answer,
                                  std::size_t answerSize, std::size_t* answerBytes = nullptr);
    // One write and one read of a discarded answer, no retry: 1 or 0 (also 0 when not connected
    // or the write failed).
    int Exchange(const std::uint8_t* request, std::size_t count);

    std::uint16_t BlockSize() const { return blockSize_.load(); }
    std::uint16_t VendorId() const { return vendorId_.load(); }
    std::uint16_t ProductId() const { return productId_.load(); }
    std::uint16_t Usage() const { return usage_.load(); }
    std::uint16_t UsagePage() const { return usagePage_.load(); }

    HidDevice& Device() { return device_; }
    // Held by each exchange and by the presence watcher for its whole cycle.
    std::recursive_mutex& TransactionLock() { return lock_; }

    // 1 while the vendor collection is open and usable; written under the lock, read without.
    std::atomic<bool> connected{false};
    // 1 while the lights follow the shared synchronised effect.
    std::atomic<bool> sync{false};

private:
    int transact(const std::uint8_t* request, std::size_t count, std::uint8_t* answer, std::size_t answerSize,
                 std::size_t* answerBytes, bool disconnectOnFailedWrite);

    std::atomic<std::uint16_t> blockSize_{kMaxBlockSize};
    std::atomic<std::uint16_t> vendorId_{0};
    std::atomic<std::uint16_t> productId_{0};
    std::atomic<std::uint16_t> usage_{0};
    std::atomic<std::uint16_t> usagePage_{0};
    HidDevice device_;
    std::recursive_mutex lock_;
};

} // namespace kavrel
