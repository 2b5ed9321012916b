// The firmware model of one emulated device: its memory and its answers to vendor frames.
// Qt-free and single-threaded; the socket server (emulator.h) feeds it one frame at a time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavrel::sim {

// The emulated products. Foreign has the family's vendor id and collections but another product
// id, so a program can be tested against "right vendor, wrong product".
enum class Model : std::uint8_t { Mouse, Keyboard, Pad, Foreign };

inline constexpr Model kAllModels[] = {Model::Mouse, Model::Keyboard, Model::Pad, Model::Foreign};

// "mouse", "keyboard", "pad", "foreign": command-line names and socket stems.
std::string_view modelName(Model m);
std::optional<Model> modelFromName(std::string_view name);

struct Identity {
    std::uint16_t vid = 0;
    std::uint16_t pid = 0;
    std::uint16_t version = 0;
    std::string name;
};
Identity identityOf(Model m);

struct FirmwareConfig {
    Model model = Model::Mouse;
    std::uint8_t keySlots = 8;     // information byte 5
    std::uint8_t macroUnits = 32;  // information byte 6: macro memory in 128-byte units
    std::uint16_t sensor = 0x3389; // information bytes 9-10, little-endian

    static FirmwareConfig defaults(Model m);
};

inline constexpr std::size_t kReportSize = 64; // counting the report-id byte
inline constexpr std::size_t kPayloadOffset = 8;
inline constexpr std::size_t kPayloadSize = 56;
inline constexpr std::uint8_t kVendorReportId = 4;
inline constexpr std::uint8_t kConsumerReportId = 3;

inline constexpr std::size_t kInfoSize = 33;
inline constexpr std::size_t kRecordSize = 64;
inline constexpr std::size_t kRecordCount = 5;
inline constexpr std::size_t kKeyBlockStep = 126; // block i starts at i x 126
inline constexpr std::size_t kKeyBlockCount = 5;
inline constexpr std::size_t kKeyReadSize = 512; // the program's default block size
inline constexpr std::size_t kRecoilCapacity = 3072;
inline constexpr std::size_t kLightingCapacity = 378; // the largest frame (RGB keyboard)

namespace command {
inline constexpr std::uint8_t kBegin = 0x01;
inline constexpr std::uint8_t kEnd = 0x02;
inline constexpr std::uint8_t kReadInfo = 0x03;
inline constexpr std::uint8_t kReadMemory = 0x05;
inline constexpr std::uint8_t kWriteMemory = 0x06;
inline constexpr std::uint8_t kReadKeyTable = 0x07;
inline constexpr std::uint8_t kReadKeyBlock = 0x08;
inline constexpr std::uint8_t kWriteKeyBlock = 0x09;
inline constexpr std::uint8_t kRestoreDefaults = 0x0D;
inline constexpr std::uint8_t kLightingFrame = 0x12;
inline constexpr std::uint8_t kMacroImage = 0x15;
inline constexpr std::uint8_t kRecoilImage = 0x17;
} // namespace command

namespace status {
inline constexpr std::uint8_t kOk = 0x00;
inline constexpr std::uint8_t kBadChecksum = 0xFF;
// Unknown command, length above 56, or bytes outside the addressed memory area.
inline constexpr std::uint8_t kRejected = 0xFE;
} // namespace status

using Report = std::array<std::uint8_t, kReportSize>;

// The 16-bit sum of bytes 3..63.
std::uint16_t frameChecksum(const Report& frame);
// Stores frameChecksum at bytes 1..2 (little-endian).
void sealFrame(Report& frame);
bool checksumValid(const Report& frame);

class Firmware {
public:
    explicit Firmware(FirmwareConfig config);

    const FirmwareConfig& config() const { return config_; }

    // Runs one vendor frame (report id byte included) and returns the answer: report id 4, the
    // request's command, length and address echoed, the status at byte 7, read data from byte 8,
    // checksum sealed. A frame with a bad checksum changes nothing and gets status 0xFF.
    Report handle(const Report& request);

    // The answer a faulty firmware gives: the request echoed with the given status; no effect.
    static Report answerWithStatus(const Report& request, std::uint8_t status);

    // Factory state of every memory area (command 0x0D, also the state after construction).
    void restoreDefaults();

    // Memory areas, as the commands address them.
    const std::vector<std::uint8_t>& info() const { return info_; }               // 0x03
    const std::vector<std::uint8_t>& records() const { return records_; }         // 0x05/0x06
    const std::vector<std::uint8_t>& defaultKeys() const { return defaultKeys_; } // 0x07
    const std::vector<std::uint8_t>& keyBlocks() const { return keyBlocks_; }     // 0x08/0x09
    const std::vector<std::uint8_t>& macroImage() const { return macro_; }        // 0x15
    const std::vector<std::uint8_t>& recoilImage() const { return recoil_; }      // 0x17
    // The bytes of the last lighting frame (0x12): a chunk at address 0 starts a new frame.
    const std::vector<std::uint8_t>& lightingFrame() const { return lighting_; }
    std::uint32_t lightingFramesStarted() const { return lightingFrames_; }
    // Whether a begin (0x01) has been seen without its end (0x02).
    bool inSession() const { return inSession_; }

private:
    std::uint8_t read(const std::vector<std::uint8_t>& area, std::size_t addr, std::size_t len,
                      Report& answer) const;
    static std::uint8_t write(std::vector<std::uint8_t>& area, std::size_t addr, std::size_t len,
                              const Report& request);
    std::uint8_t writeLighting(std::size_t addr, std::size_t len, const Report& request);

    FirmwareConfig config_;
    std::vector<std::uint8_t> info_;
    std::vector<std::uint8_t> records_;
    std::vector<std::uint8_t> defaultKeys_;
    std::vector<std::uint8_t> keyBlocks_;
    std::vector<std::uint8_t> macro_;
    std::vector<std::uint8_t> recoil_;
    std::vector<std::uint8_t> lighting_;
    std::uint32_t lightingFrames_ = 0;
    bool inSession_ = false;
};

// The factory key table of a model with the given number of key slots (3 bytes per slot).
std::vector<std::uint8_t> factoryKeyTable(Model m, std::size_t keySlots);
// The factory on-board record p (0-4) of a model; byte 0 of record 0 is the active index 0.
std::array<std::uint8_t, kRecordSize> factoryRecord(Model m, std::size_t p);

} // namespace kavrel::sim
