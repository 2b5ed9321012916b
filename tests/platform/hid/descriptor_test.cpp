// Report descriptor parsing and report decoding, on the emulator's descriptors and small
// hand-written ones.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>

#include "devsim.h"
#include "kavrel/hid/report_descriptor.h"

using namespace kavrel::hid;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes readAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// The descriptors the emulator's devices present, captured from a running emulator.
std::map<std::string, Bytes> emulatorDescriptors() {
    kavrel::testing::Devsim sim({"--device", "mouse", "--device", "keyboard", "--device", "pad"});
    std::map<std::string, Bytes> out;
    if (!sim.ready()) return out;
    for (const char* name : {"mouse", "keyboard", "pad"}) out[name] = readAll(sim.dir() / (std::string(name) + ".rdesc"));
    return out;
}

const TopCollection* find(const ReportDescriptor& d, std::uint16_t page, std::uint16_t usage) {
    for (const TopCollection& c : d.collections)
        if (c.usagePage == page && c.usage == usage) return &c;
    return nullptr;
}

// A pointer with report id 2: three buttons, five bits padding, X and Y (-127..127), and a
// feature value with a physical range.
const Bytes kPointer = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x85, 0x02,             // generic desktop, mouse, id 2
    0x05, 0x09, 0x19, 0x01, 0x29, 0x03, 0x15, 0x00, 0x25, 0x01, // buttons 1-3
    0x75, 0x01, 0x95, 0x03, 0x81, 0x02,                         // input var
    0x75, 0x05, 0x95, 0x01, 0x81, 0x03,                         // padding
    0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x15, 0x81, 0x25, 0x7F, // X, Y, -127..127
    0x75, 0x08, 0x95, 0x02, 0x81, 0x06,                         // input var rel
    0x09, 0x48, 0x15, 0x00, 0x25, 0x0A, 0x35, 0x00, 0x45, 0x64, // resolution 0..10 -> 0..100
    0x75, 0x08, 0x95, 0x01, 0xB1, 0x02,                         // feature var
    0xC0,
};

} // namespace

TEST(Descriptor, EmulatorDevicesPresentVendorAndConsumerCollections) {
    const auto all = emulatorDescriptors();
    ASSERT_EQ(all.size(), 3u);
    for (const auto& [name, bytes] : all) {
        std::string error;
        auto d = parseReportDescriptor(bytes, &error);
        ASSERT_TRUE(d) << name << ": " << error;
        EXPECT_TRUE(d->usesReportIds);
        const TopCollection* vendor = find(*d, 0xFF1C, 0x92);
        ASSERT_TRUE(vendor) << name;
        EXPECT_EQ(vendor->reportIds, std::vector<std::uint8_t>{4}) << name;
        EXPECT_EQ(vendor->inputReportLength(), 64) << name;
        EXPECT_EQ(vendor->outputReportLength(), 64) << name;

        const TopCollection* consumer = find(*d, 0x0C, 0x01);
        ASSERT_TRUE(consumer) << name;
        ASSERT_EQ(consumer->buttonCaps[0].size(), 1u) << name;
        const ButtonCaps& b = consumer->buttonCaps[0][0];
        EXPECT_TRUE(b.isArray);
        EXPECT_LE(b.usageMin, 0x401);
        EXPECT_GE(b.usageMax, 0x403);

        // An announcement decodes to its usage; routing finds the collection by report id.
        Bytes report(consumer->inputReportLength(), 0);
        report[0] = consumer->reportIds.at(0);
        report[1] = 0x02;
        report[2] = 0x04;
        EXPECT_EQ(&d->collections[d->collectionOfReport(report)], consumer) << name;
        std::vector<std::uint16_t> usages;
        ASSERT_EQ(getUsages(*consumer, ReportType::Input, 0x0C, report, usages), HidStatus::Success) << name;
        EXPECT_EQ(usages, std::vector<std::uint16_t>{0x402}) << name;
    }
}

TEST(Descriptor, ButtonsValuesAndScaling) {
    auto d = parseReportDescriptor(kPointer);
    ASSERT_TRUE(d);
    ASSERT_EQ(d->collections.size(), 1u);
    const TopCollection& c = d->collections[0];
    EXPECT_EQ(c.inputReportLength(), 4);   // id + buttons/padding + X + Y
    EXPECT_EQ(c.featureReportLength(), 2); // id + resolution
    EXPECT_EQ(c.outputReportLength(), 0);
    EXPECT_EQ(maxUsageListLength(c, ReportType::Input, 0x09), 3u);
    ASSERT_EQ(c.valueCaps[0].size(), 1u); // X and Y: one range capability
    EXPECT_TRUE(c.valueCaps[0][0].isRange);

    const Bytes report = {0x02, 0x05, 0xFE, 0x10}; // buttons 1 and 3, X -2, Y 16
    std::vector<std::uint16_t> buttons;
    EXPECT_EQ(getUsages(c, ReportType::Input, 0x09, report, buttons), HidStatus::Success);
    EXPECT_EQ(buttons, (std::vector<std::uint16_t>{1, 3}));
    std::uint32_t raw = 0;
    std::int32_t scaled = 0;
    EXPECT_EQ(getUsageValue(c, ReportType::Input, 0x01, 0x30, report, raw), HidStatus::Success);
    EXPECT_EQ(raw, 0xFEu);
    EXPECT_EQ(getScaledUsageValue(c, ReportType::Input, 0x01, 0x30, report, scaled), HidStatus::Success);
    EXPECT_EQ(scaled, -2);
    EXPECT_EQ(getScaledUsageValue(c, ReportType::Input, 0x01, 0x31, report, scaled), HidStatus::Success);
    EXPECT_EQ(scaled, 16);
    EXPECT_EQ(getScaledUsageValue(c, ReportType::Feature, 0x01, 0x48, Bytes{0x02, 0x05}, scaled), HidStatus::Success);
    EXPECT_EQ(scaled, 50);
    EXPECT_EQ(getScaledUsageValue(c, ReportType::Feature, 0x01, 0x48, Bytes{0x02, 0x0B}, scaled),
              HidStatus::ValueOutOfRange);

    // Reports that do not fit: too short, another report id, an unknown usage.
    EXPECT_EQ(getUsageValue(c, ReportType::Input, 0x01, 0x31, Bytes{0x02, 0x00, 0x00}, raw),
              HidStatus::InvalidReportLength);
    EXPECT_EQ(getUsages(c, ReportType::Input, 0x09, Bytes{0x07, 0x01, 0, 0}, buttons), HidStatus::IncompatibleReportId);
    EXPECT_EQ(getUsageValue(c, ReportType::Input, 0x01, 0x38, report, raw), HidStatus::UsageNotFound);
    EXPECT_EQ(getUsages(c, ReportType::Input, 0x09, Bytes{}, buttons), HidStatus::InvalidReportLength);
}

TEST(Descriptor, MalformedDescriptorsAreRefused) {
    struct Case {
        const char* name;
        Bytes bytes;
    };
    const std::vector<Case> cases = {
        {"empty", {}},
        {"no collection", {0x05, 0x01, 0x09, 0x02}},
        {"truncated item", {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x26, 0xFF}},
        {"truncated long item", {0xFE, 0x10, 0x00, 0x01}},
        {"end without collection", {0xC0}},
        {"unbalanced", {0x09, 0x01, 0xA1, 0x01}},
        {"report id 0", {0x09, 0x01, 0xA1, 0x01, 0x85, 0x00, 0xC0}},
        {"pop without push", {0xB4}},
        {"usage maximum below minimum", {0x19, 0x05, 0x29, 0x01}},
        {"report beyond the size limit",
         {0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x96, 0xFF, 0x7F, 0x81, 0x03, 0xC0}}, // 32767 bytes
        {"ids on some main items only",
         {0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x01, 0x81, 0x03, 0x85, 0x01, 0x81, 0x03, 0xC0}},
        {"longer than a descriptor can be", Bytes(kMaxDescriptorSize + 1, 0x00)},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(parseReportDescriptor(c.bytes, &error)) << c.name;
        EXPECT_FALSE(error.empty()) << c.name;
    }
}

// Mutated descriptors and random reports: whatever parses must decode within its bounds.
TEST(Descriptor, MutatedDescriptorsNeverReadOutOfBounds) {
    auto all = emulatorDescriptors();
    all["pointer"] = kPointer;
    std::mt19937 rng(7);
    for (const auto& [name, original] : all) {
        for (int round = 0; round < 400; ++round) {
            Bytes d = original;
            const int edits = 1 + static_cast<int>(rng() % 4);
            for (int e = 0; e < edits && !d.empty(); ++e) d[rng() % d.size()] = static_cast<std::uint8_t>(rng());
            if (rng() % 4 == 0) d.resize(rng() % (d.size() + 1));
            auto parsed = parseReportDescriptor(d);
            if (!parsed) continue;
            for (const TopCollection& c : parsed->collections) {
                Bytes report(rng() % 80);
                for (auto& b : report) b = static_cast<std::uint8_t>(rng());
                if (!report.empty() && !c.reportIds.empty()) report[0] = c.reportIds[rng() % c.reportIds.size()];
                std::vector<std::uint16_t> usages;
                for (const ButtonCaps& b : c.buttonCaps[0]) getUsages(c, ReportType::Input, b.usagePage, report, usages);
                for (const ValueCaps& v : c.valueCaps[0]) {
                    std::int32_t s;
                    getScaledUsageValue(c, ReportType::Input, v.usagePage, v.usageMax, report, s);
                }
                (void)parsed->collectionOfReport(report);
            }
        }
    }
}
