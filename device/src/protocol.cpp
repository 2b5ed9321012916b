#include "kavrel/device/protocol.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace kavrel {

std::uint16_t frameChecksum(std::span<const std::uint8_t, kFrameSize> frame) {
    unsigned sum = 0;
    for (std::size_t i = 3; i < kFrameSize; ++i) sum += frame[i];
    return static_cast<std::uint16_t>(sum);
}

void DeviceReport::setHeader(std::uint8_t command, std::uint8_t length, std::uint16_t address) {
    bytes[0] = kReportId;
    bytes[3] = command;
    bytes[4] = length;
    bytes[5] = static_cast<std::uint8_t>(address & 0xFF);
    bytes[6] = static_cast<std::uint8_t>(address >> 8);
    bytes[7] = 0;
}

void DeviceReport::seal() {
    const std::uint16_t sum = frameChecksum(bytes);
    bytes[1] = static_cast<std::uint8_t>(sum & 0xFF);
    bytes[2] = static_cast<std::uint8_t>(sum >> 8);
}

DeviceReport makeFrame(std::uint8_t command, std::uint8_t length, std::uint16_t address,
                       std::span<const std::uint8_t> payload) {
    DeviceReport f;
    f.setHeader(command, length, address);
    std::copy_n(payload.begin(), std::min(payload.size(), kPayloadSize), f.payload().begin());
    f.seal();
    return f;
}

std::vector<Chunk> chunkPlan(std::size_t total, std::uint16_t baseAddress) {
    std::vector<Chunk> plan;
    for (std::size_t o = 0; o < total; o += kPayloadSize) {
        const std::size_t len = o + kPayloadSize < total ? kPayloadSize : total - o;
        plan.push_back({o, static_cast<std::uint8_t>(len), static_cast<std::uint16_t>(baseAddress + o)});
    }
    return plan;
}

namespace cmd {

namespace {

enum class Via { Transact, KeepConnection };

int statusResult(const DeviceReport& answer) {
    if (answer.status() == 0xFF) return result::StatusFF;
    if (answer.status() == 0xFE) return result::StatusFE;
    return result::Done;
}

int run(DeviceChannel& ch, const DeviceReport& request, DeviceReport& answer, Via via) {
    answer.bytes.fill(0);
    return via == Via::Transact
               ? ch.Transact(request.bytes.data(), kFrameSize, answer.bytes.data(), kFrameSize)
               : ch.TransactKeepingConnection(request.bytes.data(), kFrameSize, answer.bytes.data(), kFrameSize);
}

int single(DeviceChannel& ch, std::uint8_t command, std::uint8_t length, std::uint16_t address,
           const std::uint8_t* payload, std::size_t payloadSize, std::uint8_t* out, std::size_t outSize) {
    const DeviceReport request =
        makeFrame(command, length, address, payload ? std::span(payload, payloadSize) : std::span<const std::uint8_t>());
    DeviceReport answer;
    const int r = run(ch, request, answer, Via::Transact);
    if (r != result::Done) return r;
    const int s = statusResult(answer);
    if (s != result::Done) return s;
    if (out) std::copy_n(answer.bytes.begin() + kPayloadOffset, outSize, out);
    return result::Done;
}

// Chunks of up to 56 bytes from offset 0; the frame is reused so payload bytes past a short
// last chunk keep what the chunk before left there.
int chunked(DeviceChannel& ch, std::uint8_t command, std::size_t total, std::uint16_t base, const std::uint8_t* source,
            std::uint8_t* destination, Via via) {
    DeviceReport request;
    request.setHeader(command, 0, 0);
    DeviceReport answer;
    for (const Chunk& c : chunkPlan(total, base)) {
        request.setHeader(command, c.length, c.address);
        if (source) std::copy_n(source + c.offset, c.length, request.payload().begin());
        request.seal();
        const int r = run(ch, request, answer, via);
        if (r != result::Done) return r;
        const int s = statusResult(answer);
        if (s != result::Done) return s;
        if (destination) std::copy_n(answer.bytes.begin() + kPayloadOffset, c.length, destination + c.offset);
    }
    return result::Done;
}

} // namespace

int Begin(DeviceChannel& ch) { return single(ch, command::Begin, 0, 0, nullptr, 0, nullptr, 0); }

int End(DeviceChannel& ch) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return single(ch, command::End, 0, 0, nullptr, 0, nullptr, 0);
}

int ReadInformation(DeviceChannel& ch, DeviceInfoBlock& info) {
    return single(ch, command::ReadInformation, kInfoBlockSize, 0, nullptr, 0, info.bytes.data(), info.bytes.size());
}

int ReadMemory(DeviceChannel& ch, std::uint8_t* destination, std::size_t n, std::uint16_t address) {
    if (n > kPayloadSize) return result::BadLength;
    return single(ch, command::ReadMemory, static_cast<std::uint8_t>(n), address, nullptr, 0, destination, n);
}

int WriteMemory(DeviceChannel& ch, const std::uint8_t* source, std::size_t n, std::uint16_t address) {
    if (n > kPayloadSize) return result::BadLength;
    return single(ch, command::WriteMemory, static_cast<std::uint8_t>(n), address, source, n, nullptr, 0);
}

int ReadKeyTable(DeviceChannel& ch, std::uint8_t* destination) {
    return chunked(ch, command::ReadKeyTable, ch.BlockSize(), 0, nullptr, destination, Via::Transact);
}

int ReadKeyBlock(DeviceChannel& ch, std::uint8_t* destination, unsigned blockIndex) {
    if (blockIndex >= kKeyBlocks) return result::BadBlockIndex;
    return chunked(ch, command::ReadKeyBlock, ch.BlockSize(), static_cast<std::uint16_t>(blockIndex * kKeyBlockStep),
                   nullptr, destination, Via::Transact);
}

int WriteKeyBlock(DeviceChannel& ch, const std::uint8_t* source, unsigned blockIndex, std::size_t length) {
    if (blockIndex >= kKeyBlocks) return result::BadBlockIndex;
    return chunked(ch, command::WriteKeyBlock, length, static_cast<std::uint16_t>(blockIndex * kKeyBlockStep), source,
                   nullptr, Via::Transact);
}

int RestoreDefaults(DeviceChannel& ch) {
    const DeviceReport request = makeFrame(command::RestoreDefaults, 0, 0);
    return ch.Exchange(request.bytes.data(), kFrameSize);
}

int WriteLightingFrame(DeviceChannel& ch, const std::uint8_t* source, std::size_t length) {
    return chunked(ch, command::WriteLightingFrame, length, 0, source, nullptr, Via::KeepConnection);
}

int WriteMacroImage(DeviceChannel& ch, const std::uint8_t* source, std::size_t length) {
    return chunked(ch, command::WriteMacroImage, length, 0, source, nullptr, Via::Transact);
}

int WriteRecoilData(DeviceChannel& ch, const std::uint8_t* source, std::size_t length) {
    return chunked(ch, command::WriteRecoilData, length, 0, source, nullptr, Via::Transact);
}

} // namespace cmd
} // namespace kavrel
