// Report descriptor parser and report decoding on arbitrary input: the first two bytes give the
// descriptor length, the rest after the descriptor is a report decoded by every collection.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "kavrel/hid/report_descriptor.h"

using namespace kavrel::hid;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> all(data, size);
    std::size_t split = size;
    if (size >= 2) {
        const std::size_t declared = static_cast<std::size_t>(data[0] | data[1] << 8);
        if (declared <= size - 2) {
            all = all.subspan(2);
            split = declared;
        }
    }
    const auto descriptor = all.first(std::min(split, all.size()));
    const auto report = all.subspan(descriptor.size());
    auto parsed = parseReportDescriptor(descriptor);
    if (!parsed) return 0;
    (void)parsed->collectionOfReport(report);
    std::vector<std::uint16_t> usages;
    for (const TopCollection& c : parsed->collections) {
        for (std::size_t t = 0; t < kReportTypes; ++t) {
            const auto type = static_cast<ReportType>(t);
            for (const ButtonCaps& b : c.buttonCaps[t]) {
                getUsages(c, type, b.usagePage, report, usages);
                (void)maxUsageListLength(c, type, b.usagePage);
            }
            for (const ValueCaps& v : c.valueCaps[t]) {
                std::uint32_t raw;
                std::int32_t scaled;
                getUsageValue(c, type, v.usagePage, v.usageMin, report, raw);
                getScaledUsageValue(c, type, v.usagePage, v.usageMax, report, scaled);
            }
        }
    }
    return 0;
}
