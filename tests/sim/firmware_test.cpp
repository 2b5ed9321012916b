// The firmware model in-process: the frame rules and the device memory conventions.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "kavrel/sim/descriptor.h"
#include "kavrel/sim/firmware.h"

using namespace kavrel::sim;

namespace {

Report frame(std::uint8_t cmd, std::size_t len, std::size_t addr, const std::vector<std::uint8_t>& payload = {}) {
    Report r{};
    r[0] = kVendorReportId;
    r[3] = cmd;
    r[4] = static_cast<std::uint8_t>(len);
    r[5] = static_cast<std::uint8_t>(addr & 0xFF);
    r[6] = static_cast<std::uint8_t>(addr >> 8);
    for (std::size_t i = 0; i < payload.size() && i < kPayloadSize; ++i) r[kPayloadOffset + i] = payload[i];
    sealFrame(r);
    return r;
}

// Reads total bytes in 56-byte chunks from base, as the program's chunked reads do.
std::vector<std::uint8_t> chunkedRead(Firmware& fw, std::uint8_t cmd, std::size_t base, std::size_t total) {
    std::vector<std::uint8_t> out;
    for (std::size_t o = 0; o < total; o += kPayloadSize) {
        const std::size_t len = std::min(kPayloadSize, total - o);
        const Report a = fw.handle(frame(cmd, len, base + o));
        EXPECT_EQ(a[7], status::kOk) << "chunk at " << o;
        out.insert(out.end(), a.begin() + kPayloadOffset, a.begin() + kPayloadOffset + static_cast<long>(len));
    }
    return out;
}

void chunkedWrite(Firmware& fw, std::uint8_t cmd, std::size_t base, const std::vector<std::uint8_t>& data) {
    for (std::size_t o = 0; o < data.size(); o += kPayloadSize) {
        const std::size_t len = std::min(kPayloadSize, data.size() - o);
        std::vector<std::uint8_t> chunk(data.begin() + static_cast<long>(o), data.begin() + static_cast<long>(o + len));
        ASSERT_EQ(fw.handle(frame(cmd, len, base + o, chunk))[7], status::kOk) << "chunk at " << o;
    }
}

std::vector<std::uint8_t> pattern(std::size_t n, std::uint8_t seed) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(seed + 7 * i);
    return v;
}

} // namespace

TEST(SimFrame, AnswerEchoesTheRequestWithStatusAndValidChecksum) {
    Firmware fw(FirmwareConfig::defaults(Model::Mouse));
    const Report a = fw.handle(frame(command::kReadMemory, 3, 0x0140 - 3)); // the last 3 record bytes
    EXPECT_EQ(a[0], kVendorReportId);
    EXPECT_EQ(a[3], command::kReadMemory);
    EXPECT_EQ(a[4], 3);
    EXPECT_EQ(a[5], 0x3D);
    EXPECT_EQ(a[6], 0x01);
    EXPECT_EQ(a[7], status::kOk);
    EXPECT_TRUE(checksumValid(a));
}

TEST(SimFrame, BeginFrameChecksumIsOne) {
    const Report begin = frame(command::kBegin, 0, 0);
    EXPECT_EQ(begin[1], 0x01);
    EXPECT_EQ(begin[2], 0x00);
    const Report info = frame(command::kReadInfo, 0x21, 0);
    EXPECT_EQ(frameChecksum(info), 0x24);
}

TEST(SimFrame, BadChecksumGetsFFAndChangesNothing) {
    Firmware fw(FirmwareConfig::defaults(Model::Mouse));
    const auto before = fw.records();
    Report w = frame(command::kWriteMemory, 1, 0, {3});
    w[1] ^= 0x01;
    const Report a = fw.handle(w);
    EXPECT_EQ(a[7], status::kBadChecksum);
    EXPECT_TRUE(checksumValid(a));
    EXPECT_EQ(fw.records(), before);

    // The sum covers the whole payload area, also bytes past the length.
    Report tail = frame(command::kReadMemory, 1, 0);
    tail[63] = 1;
    EXPECT_EQ(fw.handle(tail)[7], status::kBadChecksum);
    // The checksum is the low 16 bits of the sum.
    Report big = frame(command::kWriteMemory, 56, 0, std::vector<std::uint8_t>(56, 0xFF));
    EXPECT_EQ(frameChecksum(big), (0x06 + 56 + 56 * 0xFF) & 0xFFFF);
    EXPECT_EQ(fw.handle(big)[7], status::kOk);
}

TEST(SimFrame, RequestsOutsideTheAreasAreRejected) {
    struct Case {
        const char* what;
        std::uint8_t cmd;
        std::size_t len, addr;
        std::uint8_t status;
    };
    const Case cases[] = {
        {"unknown command", 0x04, 0, 0, status::kRejected},
        {"length above 56", command::kReadMemory, 57, 0, status::kRejected},
        {"last record bytes", command::kReadMemory, 56, 4 * 64, status::kOk},
        {"past the records", command::kReadMemory, 56, 4 * 64 + 9, status::kRejected},
        {"512 bytes from block 4, last chunk", command::kReadKeyBlock, 8, 4 * 126 + 504, status::kOk},
        {"past the key blocks", command::kReadKeyBlock, 9, 4 * 126 + 504, status::kRejected},
        {"end of the factory key table", command::kReadKeyTable, 8, 504, status::kOk},
        {"largest lighting frame, last chunk", command::kLightingFrame, 42, 336, status::kOk},
        {"past the largest lighting frame", command::kLightingFrame, 43, 336, status::kRejected},
        {"end of the macro memory (32 units)", command::kMacroImage, 56, 4096 - 56, status::kOk},
        {"past the macro memory", command::kMacroImage, 1, 4096, status::kRejected},
        {"end of the recoil area", command::kRecoilImage, 56, 3072 - 56, status::kOk},
        {"past the recoil area", command::kRecoilImage, 1, 3072, status::kRejected},
    };
    for (const Case& c : cases) {
        Firmware fw(FirmwareConfig::defaults(Model::Mouse));
        const Report a = fw.handle(frame(c.cmd, c.len, c.addr, std::vector<std::uint8_t>(56, 1)));
        EXPECT_EQ(a[7], c.status) << c.what;
        EXPECT_TRUE(checksumValid(a)) << c.what;
    }
}

TEST(SimMemory, InformationBlockCarriesTheConfiguration) {
    struct Case {
        FirmwareConfig config;
        std::uint8_t keySlots, macroUnits;
        std::uint16_t sensor;
    };
    const Case cases[] = {
        {FirmwareConfig::defaults(Model::Mouse), 8, 32, 0x3389},
        {FirmwareConfig::defaults(Model::Keyboard), 106, 32, 0},
        {FirmwareConfig::defaults(Model::Pad), 0, 0, 0},
        {{Model::Keyboard, 171, 2, 0x3325}, 171, 2, 0x3325},
    };
    for (const Case& c : cases) {
        Firmware fw(c.config);
        const Report a = fw.handle(frame(command::kReadInfo, 0x21, 0));
        ASSERT_EQ(a[7], status::kOk);
        EXPECT_EQ(a[kPayloadOffset + 5], c.keySlots);
        EXPECT_EQ(a[kPayloadOffset + 6], c.macroUnits);
        EXPECT_EQ(a[kPayloadOffset + 9] | (a[kPayloadOffset + 10] << 8), c.sensor);
        // 33 bytes and nothing after them.
        for (std::size_t i = kPayloadOffset + kInfoSize; i < kReportSize; ++i) EXPECT_EQ(a[i], 0) << i;
    }
}

TEST(SimMemory, OnBoardRecordsAndTheActiveIndex) {
    Firmware fw(FirmwareConfig::defaults(Model::Mouse));
    // Factory: record 0 active; seven distinct DPI levels starting at 800 (code 16).
    EXPECT_EQ(fw.handle(frame(command::kReadMemory, 1, 0))[kPayloadOffset], 0);
    const auto r2 = chunkedRead(fw, command::kReadMemory, 2 * 64, 56);
    EXPECT_EQ(r2[15] | (r2[16] << 8), 16);
    EXPECT_EQ(r2[17] | (r2[18] << 8), 32);
    std::set<std::vector<std::uint8_t>> colours;
    for (std::size_t level = 0; level < 7; ++level)
        colours.insert({r2[30 + 3 * level], r2[31 + 3 * level], r2[32 + 3 * level]});
    EXPECT_EQ(colours.size(), 7u);

    // One byte at address 0 selects the active record; a 56-byte write at p x 64 reads back.
    ASSERT_EQ(fw.handle(frame(command::kWriteMemory, 1, 0, {3}))[7], status::kOk);
    EXPECT_EQ(fw.handle(frame(command::kReadMemory, 1, 0))[kPayloadOffset], 3);
    const auto data = pattern(56, 9);
    chunkedWrite(fw, command::kWriteMemory, 3 * 64, data);
    EXPECT_EQ(chunkedRead(fw, command::kReadMemory, 3 * 64, 56), data);
    // Neighbouring records are untouched.
    EXPECT_EQ(chunkedRead(fw, command::kReadMemory, 2 * 64, 56), r2);
}

TEST(SimMemory, FactoryKeyTables) {
    Firmware mouse(FirmwareConfig::defaults(Model::Mouse));
    const auto m = chunkedRead(mouse, command::kReadKeyTable, 0, 512);
    const std::vector<std::uint8_t> buttons = {0x10, 0x01, 0, 0x10, 0x04, 0, 0x10, 0x02, 0,
                                               0x10, 0x10, 0, 0x10, 0x08, 0, 0x13, 0x03, 0};
    EXPECT_EQ(std::vector<std::uint8_t>(m.begin(), m.begin() + 18), buttons);

    Firmware kb(FirmwareConfig::defaults(Model::Keyboard));
    const auto k = chunkedRead(kb, command::kReadKeyTable, 0, 3 * 106);
    std::map<std::pair<int, int>, int> seen;
    for (std::size_t j = 0; j < 106; ++j) {
        EXPECT_TRUE(k[3 * j] == 0x20 || k[3 * j] == 0xA0) << "slot " << j;
        EXPECT_NE(k[3 * j + 1] | k[3 * j + 2], 0) << "slot " << j << " is empty";
        ++seen[{k[3 * j + 1], k[3 * j + 2]}];
    }
    EXPECT_EQ(seen.size(), 106u) << "every key has its own function";
    EXPECT_EQ((std::vector<std::uint8_t>{k[0], k[1], k[2]}), (std::vector<std::uint8_t>{0x20, 0, 0x29})); // Esc
}

TEST(SimMemory, KeyBlocksAreAddressedInStepsOf126) {
    Firmware fw(FirmwareConfig::defaults(Model::Mouse));
    // Factory blocks start with the factory table.
    const auto table = chunkedRead(fw, command::kReadKeyTable, 0, 126);
    EXPECT_EQ(chunkedRead(fw, command::kReadKeyBlock, 3 * 126, 126), table);

    const auto block1 = pattern(126, 1);
    chunkedWrite(fw, command::kWriteKeyBlock, 126, block1);
    EXPECT_EQ(chunkedRead(fw, command::kReadKeyBlock, 126, 126), block1);
    // A 512-byte read of block 0 also returns the following blocks.
    const auto all = chunkedRead(fw, command::kReadKeyBlock, 0, 512);
    EXPECT_EQ(std::vector<std::uint8_t>(all.begin(), all.begin() + 126), table);
    EXPECT_EQ(std::vector<std::uint8_t>(all.begin() + 126, all.begin() + 252), block1);
    // Block 4 reads a whole 512 bytes.
    EXPECT_EQ(chunkedRead(fw, command::kReadKeyBlock, 4 * 126, 512).size(), 512u);
}

TEST(SimMemory, LongKeyboardBlockZeroIsWholeAtTheFactory) {
    Firmware fw(FirmwareConfig::defaults(Model::Keyboard));
    EXPECT_EQ(chunkedRead(fw, command::kReadKeyBlock, 0, 318), chunkedRead(fw, command::kReadKeyTable, 0, 318));
    const auto block = pattern(318, 4);
    chunkedWrite(fw, command::kWriteKeyBlock, 0, block);
    EXPECT_EQ(chunkedRead(fw, command::kReadKeyBlock, 0, 318), block);
}

TEST(SimMemory, ImagesAndTheLastLightingFrame) {
    Firmware fw(FirmwareConfig::defaults(Model::Keyboard));
    const auto macro = pattern(300, 2);
    chunkedWrite(fw, command::kMacroImage, 0, macro);
    EXPECT_EQ(std::vector<std::uint8_t>(fw.macroImage().begin(), fw.macroImage().begin() + 300), macro);
    const auto recoil = pattern(2920, 5);
    chunkedWrite(fw, command::kRecoilImage, 0, recoil);
    EXPECT_EQ(std::vector<std::uint8_t>(fw.recoilImage().begin(), fw.recoilImage().begin() + 2920), recoil);

    const auto rgb = pattern(378, 3);
    chunkedWrite(fw, command::kLightingFrame, 0, rgb);
    EXPECT_EQ(fw.lightingFrame(), rgb);
    // A shorter frame replaces it whole.
    const auto pad = pattern(45, 8);
    chunkedWrite(fw, command::kLightingFrame, 0, pad);
    EXPECT_EQ(fw.lightingFrame(), pad);
    EXPECT_EQ(fw.lightingFramesStarted(), 2u);

    Firmware noMemory(FirmwareConfig::defaults(Model::Pad));
    EXPECT_EQ(noMemory.handle(frame(command::kMacroImage, 4, 0, {1, 2, 3, 4}))[7], status::kRejected);
}

TEST(SimMemory, RestoreDefaultsUndoesEveryWrite) {
    Firmware fw(FirmwareConfig::defaults(Model::Mouse));
    const Firmware factory(FirmwareConfig::defaults(Model::Mouse));
    chunkedWrite(fw, command::kWriteMemory, 0, pattern(56, 1));
    chunkedWrite(fw, command::kWriteKeyBlock, 0, pattern(126, 2));
    chunkedWrite(fw, command::kMacroImage, 0, pattern(100, 3));
    chunkedWrite(fw, command::kRecoilImage, 0, pattern(100, 4));
    EXPECT_EQ(fw.handle(frame(command::kRestoreDefaults, 0, 0))[7], status::kOk);
    EXPECT_EQ(fw.records(), factory.records());
    EXPECT_EQ(fw.keyBlocks(), factory.keyBlocks());
    EXPECT_EQ(fw.macroImage(), factory.macroImage());
    EXPECT_EQ(fw.recoilImage(), factory.recoilImage());
}

namespace {

// Top-level collections of a report descriptor with the byte lengths of their reports (report id
// byte included), from a small walk over its short items.
struct Collection {
    std::uint32_t page, usage;
    std::map<std::uint32_t, std::uint32_t> inputBits, outputBits; // by report id
};

std::vector<Collection> collections(const std::vector<std::uint8_t>& d) {
    std::vector<Collection> out;
    std::uint32_t page = 0, usage = 0, size = 0, count = 0, id = 0;
    int depth = 0;
    for (std::size_t i = 0; i < d.size();) {
        const std::uint8_t prefix = d[i];
        const std::size_t n = (prefix & 3) == 3 ? 4 : (prefix & 3);
        EXPECT_LE(i + 1 + n, d.size()) << "item runs past the end at " << i;
        if (i + 1 + n > d.size()) break;
        std::uint32_t v = 0;
        for (std::size_t b = 0; b < n; ++b) v |= std::uint32_t{d[i + 1 + b]} << (8 * b);
        switch (prefix & 0xFC) {
        case 0x04: page = v; break;
        case 0x08: usage = v; break;
        case 0x74: size = v; break;
        case 0x94: count = v; break;
        case 0x84: id = v; break;
        case 0xA0:
            if (depth++ == 0) out.push_back({page, usage, {}, {}});
            break;
        case 0xC0: --depth; break;
        case 0x80: out.back().inputBits[id] += size * count; break;
        case 0x90: out.back().outputBits[id] += size * count; break;
        default: break;
        }
        i += 1 + n;
    }
    EXPECT_EQ(depth, 0) << "unbalanced collections";
    return out;
}

} // namespace

TEST(SimDescriptor, VendorAndConsumerCollectionsOfEveryModel) {
    for (Model m : kAllModels) {
        SCOPED_TRACE(std::string(modelName(m)));
        const auto cs = collections(reportDescriptor(m));
        const Collection* vendor = nullptr;
        const Collection* consumer = nullptr;
        for (const Collection& c : cs) {
            if (c.page == 0xFF1C && c.usage == 0x92) vendor = &c;
            if (c.page == 0x0C && c.usage == 0x01) consumer = &c;
        }
        ASSERT_NE(vendor, nullptr);
        ASSERT_NE(consumer, nullptr);
        EXPECT_EQ(vendor->inputBits, (std::map<std::uint32_t, std::uint32_t>{{4, 63 * 8}}));
        EXPECT_EQ(vendor->outputBits, (std::map<std::uint32_t, std::uint32_t>{{4, 63 * 8}}));
        EXPECT_EQ(consumer->inputBits, (std::map<std::uint32_t, std::uint32_t>{{kConsumerReportId, 16}}));
        // Every report id belongs to one collection only, so reports can be told apart.
        std::set<std::uint32_t> ids;
        std::size_t total = 0;
        for (const Collection& c : cs) {
            std::set<std::uint32_t> own;
            for (const auto& [id, bits] : c.inputBits) own.insert(id);
            for (const auto& [id, bits] : c.outputBits) own.insert(id);
            total += own.size();
            ids.insert(own.begin(), own.end());
        }
        EXPECT_EQ(ids.size(), total);
    }
    const auto announce = consumerReport(0x402);
    EXPECT_EQ(announce, (std::vector<std::uint8_t>{kConsumerReportId, 0x02, 0x04}));
}
