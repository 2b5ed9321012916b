// The request/answer protocol the family's firmware speaks over its vendor collection: the 64-byte
// frame, its checksum, and one function per command returning a result code.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "kavrel/device/device_channel.h"

namespace kavrel {

// Result codes of the command functions.
namespace result {
inline constexpr int Done = 1;
inline constexpr int NoAnswer = 0;       // also: channel not connected
inline constexpr int NotSent = -1;       // the channel is now disconnected
inline constexpr int StatusFF = -102;
inline constexpr int StatusFE = -103;
inline constexpr int BadBlockIndex = -201; // nothing sent
inline constexpr int BadLength = -202;     // 0x05/0x06 asked for more than one frame; nothing sent
} // namespace result

namespace command {
inline constexpr std::uint8_t Begin = 0x01;
inline constexpr std::uint8_t End = 0x02;
inline constexpr std::uint8_t ReadInformation = 0x03;
inline constexpr std::uint8_t ReadMemory = 0x05;
inline constexpr std::uint8_t WriteMemory = 0x06;
inline constexpr std::uint8_t ReadKeyTable = 0x07;
inline constexpr std::uint8_t ReadKeyBlock = 0x08;
inline constexpr std::uint8_t WriteKeyBlock = 0x09;
inline constexpr std::uint8_t RestoreDefaults = 0x0D;
inline constexpr std::uint8_t WriteLightingFrame = 0x12;
inline constexpr std::uint8_t WriteMacroImage = 0x15;
inline constexpr std::uint8_t WriteRecoilData = 0x17;
} // namespace command

inline constexpr std::uint8_t kReportId = 0x04;
inline constexpr std::size_t kPayloadOffset = 8;
inline constexpr std::size_t kPayloadSize = 56;
inline constexpr std::size_t kInfoBlockSize = 0x21;
inline constexpr std::uint16_t kKeyBlockStep = 126;
inline constexpr int kKeyBlocks = 5;

// Request and answer frame: id 0x04, checksum (little-endian sum of bytes 3..63), command,
// length, address (little-endian), status, 56-byte payload.
struct DeviceReport {
    std::array<std::uint8_t, kFrameSize> bytes{};

    std::uint8_t command() const { return bytes[3]; }
    std::uint8_t length() const { return bytes[4]; }
    std::uint16_t address() const { return static_cast<std::uint16_t>(bytes[5] | bytes[6] << 8); }
    std::uint8_t status() const { return bytes[7]; }
    std::uint16_t checksum() const { return static_cast<std::uint16_t>(bytes[1] | bytes[2] << 8); }
    std::span<std::uint8_t, kPayloadSize> payload() { return std::span(bytes).subspan<kPayloadOffset, kPayloadSize>(); }

    void setHeader(std::uint8_t command, std::uint8_t length, std::uint16_t address);
    // Stores the checksum of the frame as it stands; call after every other byte is set.
    void seal();
};

// The 16-bit sum of bytes 3..63 of a 64-byte frame.
std::uint16_t frameChecksum(std::span<const std::uint8_t, kFrameSize> frame);

// A sealed single request frame: header, payload at offset 8 (at most 56 bytes), checksum.
DeviceReport makeFrame(std::uint8_t command, std::uint8_t length, std::uint16_t address,
                       std::span<const std::uint8_t> payload = {});

// The frames of a chunked transfer of total bytes: payload offset, length and device address.
struct Chunk {
    std::size_t offset = 0;
    std::uint8_t length = 0;
    std::uint16_t address = 0;
};
std::vector<Chunk> chunkPlan(std::size_t total, std::uint16_t baseAddress);

// The 33-byte answer of command 0x03.
struct DeviceInfoBlock {
    std::array<std::uint8_t, kInfoBlockSize> bytes{};

    std::uint8_t keySlots() const { return bytes[5]; }
    std::uint8_t macroUnits() const { return bytes[6]; } // macro memory in 128-byte units
    std::uint16_t sensorId() const { return static_cast<std::uint16_t>(bytes[9] | bytes[10] << 8); }
};

// One function per command. Chunked commands send 56-byte frames from address 0 (plus
// block index x 126 for key blocks) and stop at the first failing chunk.
namespace cmd {
int Begin(DeviceChannel& ch);
int End(DeviceChannel& ch); // waits 10 ms before sending
int ReadInformation(DeviceChannel& ch, DeviceInfoBlock& info);
int ReadMemory(DeviceChannel& ch, std::uint8_t* destination, std::size_t n, std::uint16_t address);
int WriteMemory(DeviceChannel& ch, const std::uint8_t* source, std::size_t n, std::uint16_t address);
// Reads the channel's block size of bytes.
int ReadKeyTable(DeviceChannel& ch, std::uint8_t* destination);
int ReadKeyBlock(DeviceChannel& ch, std::uint8_t* destination, unsigned blockIndex);
int WriteKeyBlock(DeviceChannel& ch, const std::uint8_t* source, unsigned blockIndex, std::size_t length);
// The answer is read and discarded: 1 or 0.
int RestoreDefaults(DeviceChannel& ch);
// Sent with TransactKeepingConnection: a failed write does not disconnect.
int WriteLightingFrame(DeviceChannel& ch, const std::uint8_t* source, std::size_t length);
int WriteMacroImage(DeviceChannel& ch, const std::uint8_t* source, std::size_t length);
int WriteRecoilData(DeviceChannel& ch, const std::uint8_t* source, std::size_t length);
} // namespace cmd

} // namespace kavrel
