#include "kavrel/sim/firmware.h"

#include <algorithm>
#include <cstring>

namespace kavrel::sim {

std::string_view modelName(Model m) {
    switch (m) {
    case Model::Mouse: return "mouse";
    case Model::Keyboard: return "keyboard";
    case Model::Pad: return "pad";
    case Model::Foreign: return "foreign";
    }
    return "";
}

std::optional<Model> modelFromName(std::string_view name) {
    for (Model m : kAllModels)
        if (modelName(m) == name) return m;
    return std::nullopt;
}

Identity identityOf(Model m) {
    switch (m) {
    case Model::Mouse: return {0x0C45, 0x7643, 0x0100, "Kavrel virtual mouse"};
    case Model::Keyboard: return {0x0C45, 0x6556, 0x0100, "Kavrel virtual keyboard"};
    case Model::Pad: return {0x0C45, 0x5004, 0x0100, "Kavrel virtual mouse pad"};
    case Model::Foreign: return {0x0C45, 0x7000, 0x0100, "Kavrel virtual foreign device"};
    }
    return {};
}

FirmwareConfig FirmwareConfig::defaults(Model m) {
    switch (m) {
    case Model::Mouse:
    case Model::Foreign: return {m, 8, 32, 0x3389};
    case Model::Keyboard: return {m, 106, 32, 0};
    case Model::Pad: return {m, 0, 0, 0};
    }
    return {m, 0, 0, 0};
}

std::uint16_t frameChecksum(const Report& frame) {
    unsigned sum = 0;
    for (std::size_t i = 3; i < kReportSize; ++i) sum += frame[i];
    return static_cast<std::uint16_t>(sum);
}

void sealFrame(Report& frame) {
    const std::uint16_t sum = frameChecksum(frame);
    frame[1] = static_cast<std::uint8_t>(sum & 0xFF);
    frame[2] = static_cast<std::uint8_t>(sum >> 8);
}

bool checksumValid(const Report& frame) {
    return frameChecksum(frame) == static_cast<std::uint16_t>(frame[1] | (frame[2] << 8));
}

namespace {

struct KeyRecord {
    std::uint8_t type, param1, param2;
};

// Factory functions of the mouse buttons: left, wheel, right, forward, back, DPI loop, second
// DPI loop, DPI shift.
constexpr KeyRecord kMouseKeys[] = {{0x10, 0x01, 0}, {0x10, 0x04, 0}, {0x10, 0x02, 0}, {0x10, 0x10, 0},
                                    {0x10, 0x08, 0}, {0x13, 0x03, 0}, {0x13, 0x02, 0}, {0xA0, 0x02, 0}};

// Factory functions of the keyboard's keys in slot order: HID usages with modifier masks, the Fn key
// as (0xA0, 2, 2). 106 keys.
constexpr KeyRecord kKeyboardKeys[] = {
    // Esc, F1-F12, Print Screen, Scroll Lock, Pause
    {0x20, 0, 0x29}, {0x20, 0, 0x3A}, {0x20, 0, 0x3B}, {0x20, 0, 0x3C}, {0x20, 0, 0x3D}, {0x20, 0, 0x3E},
    {0x20, 0, 0x3F}, {0x20, 0, 0x40}, {0x20, 0, 0x41}, {0x20, 0, 0x42}, {0x20, 0, 0x43}, {0x20, 0, 0x44},
    {0x20, 0, 0x45}, {0x20, 0, 0x46}, {0x20, 0, 0x47}, {0x20, 0, 0x48},
    // ` 1-0 - = Backspace
    {0x20, 0, 0x35}, {0x20, 0, 0x1E}, {0x20, 0, 0x1F}, {0x20, 0, 0x20}, {0x20, 0, 0x21}, {0x20, 0, 0x22},
    {0x20, 0, 0x23}, {0x20, 0, 0x24}, {0x20, 0, 0x25}, {0x20, 0, 0x26}, {0x20, 0, 0x27}, {0x20, 0, 0x2D},
    {0x20, 0, 0x2E}, {0x20, 0, 0x2A},
    // Insert Home PageUp NumLock KP/ KP* KP-
    {0x20, 0, 0x49}, {0x20, 0, 0x4A}, {0x20, 0, 0x4B}, {0x20, 0, 0x53}, {0x20, 0, 0x54}, {0x20, 0, 0x55},
    {0x20, 0, 0x56},
    // Tab Q-P [ ] backslash
    {0x20, 0, 0x2B}, {0x20, 0, 0x14}, {0x20, 0, 0x1A}, {0x20, 0, 0x08}, {0x20, 0, 0x15}, {0x20, 0, 0x17},
    {0x20, 0, 0x1C}, {0x20, 0, 0x18}, {0x20, 0, 0x0C}, {0x20, 0, 0x12}, {0x20, 0, 0x13}, {0x20, 0, 0x2F},
    {0x20, 0, 0x30}, {0x20, 0, 0x31},
    // Delete End PageDown KP7-KP9
    {0x20, 0, 0x4C}, {0x20, 0, 0x4D}, {0x20, 0, 0x4E}, {0x20, 0, 0x5F}, {0x20, 0, 0x60}, {0x20, 0, 0x61},
    // Caps A-L ; ' Enter KP4-KP6
    {0x20, 0, 0x39}, {0x20, 0, 0x04}, {0x20, 0, 0x16}, {0x20, 0, 0x07}, {0x20, 0, 0x09}, {0x20, 0, 0x0A},
    {0x20, 0, 0x0B}, {0x20, 0, 0x0D}, {0x20, 0, 0x0E}, {0x20, 0, 0x0F}, {0x20, 0, 0x33}, {0x20, 0, 0x34},
    {0x20, 0, 0x28}, {0x20, 0, 0x5C}, {0x20, 0, 0x5D}, {0x20, 0, 0x5E},
    // left Shift, Z-M , . /, right Shift
    {0x20, 0x02, 0}, {0x20, 0, 0x1D}, {0x20, 0, 0x1B}, {0x20, 0, 0x06}, {0x20, 0, 0x19}, {0x20, 0, 0x05},
    {0x20, 0, 0x11}, {0x20, 0, 0x10}, {0x20, 0, 0x36}, {0x20, 0, 0x37}, {0x20, 0, 0x38}, {0x20, 0x20, 0},
    // Up KP1-KP3, non-US backslash
    {0x20, 0, 0x52}, {0x20, 0, 0x59}, {0x20, 0, 0x5A}, {0x20, 0, 0x5B}, {0x20, 0, 0x64},
    // left Ctrl, left GUI, left Alt, Space, right Alt, Fn, Application, right Ctrl
    {0x20, 0x01, 0}, {0x20, 0x08, 0}, {0x20, 0x04, 0}, {0x20, 0, 0x2C}, {0x20, 0x40, 0}, {0xA0, 0x02, 0x02},
    {0x20, 0, 0x65}, {0x20, 0x10, 0},
    // Left Down Right KP0 KP. KPEnter KP+, right GUI
    {0x20, 0, 0x50}, {0x20, 0, 0x51}, {0x20, 0, 0x4F}, {0x20, 0, 0x62}, {0x20, 0, 0x63}, {0x20, 0, 0x58},
    {0x20, 0, 0x57}, {0x20, 0x80, 0},
};
static_assert(std::size(kKeyboardKeys) == 106);

// DPI codes (50 DPI units) of the seven levels: 800, 1600, 3200, 4800, 6400, 8000, 16000.
constexpr std::uint16_t kDpiCodes[7] = {16, 32, 64, 96, 128, 160, 320};
constexpr std::uint8_t kDpiColours[7][3] = {{255, 0, 0},   {0, 255, 0},   {0, 0, 255},    {255, 255, 0},
                                            {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
// Record colours, one per on-board record.
constexpr std::uint8_t kRecordColours[kRecordCount][3] = {
    {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 128, 0}, {255, 255, 255}};

} // namespace

std::vector<std::uint8_t> factoryKeyTable(Model m, std::size_t keySlots) {
    std::vector<std::uint8_t> table(std::max(kKeyReadSize, 3 * keySlots), 0);
    auto fill = [&](const auto& keys) {
        const std::size_t n = std::min(keySlots, std::size(keys));
        for (std::size_t j = 0; j < n; ++j) {
            table[3 * j] = keys[j].type;
            table[3 * j + 1] = keys[j].param1;
            table[3 * j + 2] = keys[j].param2;
        }
        // Slots beyond the factory list are plain keys without a usage.
        for (std::size_t j = n; j < keySlots; ++j) table[3 * j] = 0x20;
    };
    switch (m) {
    case Model::Mouse:
    case Model::Foreign: fill(kMouseKeys); break;
    case Model::Keyboard: fill(kKeyboardKeys); break;
    case Model::Pad: break;
    }
    return table;
}

std::array<std::uint8_t, kRecordSize> factoryRecord(Model m, std::size_t p) {
    std::array<std::uint8_t, kRecordSize> r{};
    // Byte 0 of record 0 is the active index (record 0 at the factory); the others name themselves.
    r[0] = static_cast<std::uint8_t>(p);
    r[1] = static_cast<std::uint8_t>(p);  // mode
    r[2] = 4;                             // brightness, the brightest
    r[3] = 2;                             // speed, the middle one
    r[4] = 1;                             // first direction
    r[5] = p == 0 ? 1 : 0;                // record 0 multicolour, the others single colour
    r[6] = kRecordColours[p % kRecordCount][0];
    r[7] = kRecordColours[p % kRecordCount][1];
    r[8] = kRecordColours[p % kRecordCount][2];
    if (m == Model::Mouse || m == Model::Foreign) {
        r[14] = 2; // report rate: the middle item
        for (std::size_t level = 0; level < 7; ++level) {
            // Levels 1-4 at bytes 15-22, the level in use at 23, levels 5-7 at 24-29.
            const std::size_t at = level < 4 ? 15 + 2 * level : 24 + 2 * (level - 4);
            r[at] = static_cast<std::uint8_t>(kDpiCodes[level] & 0xFF);
            r[at + 1] = static_cast<std::uint8_t>(kDpiCodes[level] >> 8);
            for (std::size_t c = 0; c < 3; ++c) r[30 + 3 * level + c] = kDpiColours[level][c];
        }
        r[23] = 1; // 1600 DPI in use
        r[51] = 1; // lift-off middle
        r[52] = 0; // no line correction
    }
    return r;
}

Firmware::Firmware(FirmwareConfig config) : config_(config) { restoreDefaults(); }

void Firmware::restoreDefaults() {
    info_.assign(kInfoSize, 0);
    const Identity id = identityOf(config_.model);
    info_[0] = static_cast<std::uint8_t>(id.version & 0xFF); // firmware version
    info_[1] = static_cast<std::uint8_t>(id.version >> 8);
    info_[2] = static_cast<std::uint8_t>(id.pid & 0xFF);
    info_[3] = static_cast<std::uint8_t>(id.pid >> 8);
    info_[4] = static_cast<std::uint8_t>(kRecordCount);
    info_[5] = config_.keySlots;
    info_[6] = config_.macroUnits;
    info_[9] = static_cast<std::uint8_t>(config_.sensor & 0xFF);
    info_[10] = static_cast<std::uint8_t>(config_.sensor >> 8);

    records_.assign(kRecordCount * kRecordSize, 0);
    for (std::size_t p = 0; p < kRecordCount; ++p) {
        const auto r = factoryRecord(config_.model, p);
        std::copy(r.begin(), r.end(), records_.begin() + static_cast<std::ptrdiff_t>(p * kRecordSize));
    }

    defaultKeys_ = factoryKeyTable(config_.model, config_.keySlots);
    // A 512-byte read of block 4 must stay inside the area, and so must a keyboard's longer block.
    const std::size_t blockLen = std::max(kKeyReadSize, 3 * std::size_t{config_.keySlots});
    keyBlocks_.assign((kKeyBlockCount - 1) * kKeyBlockStep + blockLen, 0);
    // Blocks overlap when a block is longer than the step; writing the last block first leaves
    // block 0 (the one a keyboard uses) whole.
    const std::size_t used = std::max(kKeyBlockStep, 3 * std::size_t{config_.keySlots});
    for (std::size_t i = kKeyBlockCount; i-- > 0;)
        std::copy_n(defaultKeys_.begin(), used, keyBlocks_.begin() + static_cast<std::ptrdiff_t>(i * kKeyBlockStep));

    macro_.assign(std::size_t{config_.macroUnits} * 128, 0);
    recoil_.assign(kRecoilCapacity, 0);
    inSession_ = false;
}

Report Firmware::answerWithStatus(const Report& request, std::uint8_t st) {
    Report answer{};
    answer[0] = kVendorReportId;
    answer[3] = request[3];
    answer[4] = request[4];
    answer[5] = request[5];
    answer[6] = request[6];
    answer[7] = st;
    sealFrame(answer);
    return answer;
}

std::uint8_t Firmware::read(const std::vector<std::uint8_t>& area, std::size_t addr, std::size_t len,
                            Report& answer) const {
    if (len > kPayloadSize || addr + len > area.size()) return status::kRejected;
    std::copy_n(area.begin() + static_cast<std::ptrdiff_t>(addr), len, answer.begin() + kPayloadOffset);
    return status::kOk;
}

std::uint8_t Firmware::write(std::vector<std::uint8_t>& area, std::size_t addr, std::size_t len,
                             const Report& request) {
    if (len > kPayloadSize || addr + len > area.size()) return status::kRejected;
    std::copy_n(request.begin() + kPayloadOffset, len, area.begin() + static_cast<std::ptrdiff_t>(addr));
    return status::kOk;
}

std::uint8_t Firmware::writeLighting(std::size_t addr, std::size_t len, const Report& request) {
    if (len > kPayloadSize || addr + len > kLightingCapacity) return status::kRejected;
    if (addr == 0) {
        lighting_.clear();
        ++lightingFrames_;
    }
    if (lighting_.size() < addr + len) lighting_.resize(addr + len, 0);
    std::copy_n(request.begin() + kPayloadOffset, len, lighting_.begin() + static_cast<std::ptrdiff_t>(addr));
    return status::kOk;
}

Report Firmware::handle(const Report& request) {
    if (request[0] != kVendorReportId || !checksumValid(request))
        return answerWithStatus(request, status::kBadChecksum);
    Report answer = answerWithStatus(request, status::kOk);
    const std::uint8_t cmd = request[3];
    const std::size_t len = request[4];
    const std::size_t addr = request[5] | (request[6] << 8);
    std::uint8_t st = status::kOk;
    switch (cmd) {
    case command::kBegin: inSession_ = true; break;
    case command::kEnd: inSession_ = false; break;
    case command::kReadInfo:
        // The program asks for 0x21 bytes; a shorter request gets what it asked for.
        st = read(info_, 0, std::min(len, kInfoSize), answer);
        break;
    case command::kReadMemory: st = read(records_, addr, len, answer); break;
    case command::kWriteMemory: st = write(records_, addr, len, request); break;
    case command::kReadKeyTable: st = read(defaultKeys_, addr, len, answer); break;
    case command::kReadKeyBlock: st = read(keyBlocks_, addr, len, answer); break;
    case command::kWriteKeyBlock: st = write(keyBlocks_, addr, len, request); break;
    case command::kRestoreDefaults: restoreDefaults(); break;
    case command::kLightingFrame: st = writeLighting(addr, len, request); break;
    case command::kMacroImage: st = write(macro_, addr, len, request); break;
    case command::kRecoilImage: st = write(recoil_, addr, len, request); break;
    default: st = status::kRejected; break;
    }
    if (st != status::kOk) return answerWithStatus(request, st);
    answer[7] = st;
    sealFrame(answer);
    return answer;
}

} // namespace kavrel::sim
