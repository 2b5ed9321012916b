// HID report descriptor parsing into top-level collections, their capabilities and the decoding
// of reports. Every function is bounds-checked: descriptors and reports come from devices.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kavrel::hid {

enum class ReportType : std::uint8_t { Input = 0, Output = 1, Feature = 2 };
inline constexpr std::size_t kReportTypes = 3;

// Limits a parse refuses to go beyond (a descriptor past them is rejected, never truncated).
inline constexpr std::size_t kMaxDescriptorSize = 4096;
inline constexpr std::size_t kMaxReportSize = 16384; // bytes of one report, report-id byte included
inline constexpr std::size_t kMaxCapsPerCollection = 1024;

struct UsageRange {
    std::uint16_t page = 0;
    std::uint16_t min = 0;
    std::uint16_t max = 0;
};

// Bits of a report that carry buttons: an array field (slots holding usage indices) or 1-bit
// variable fields, one per usage.
struct ButtonCaps {
    std::uint16_t usagePage = 0;
    std::uint8_t reportId = 0;
    bool isArray = false;
    std::uint16_t usageMin = 0; // lowest and highest usage of the capability
    std::uint16_t usageMax = 0;
    std::vector<UsageRange> usages; // the usages in declaration order (index i -> i-th usage)
    std::uint32_t bitPosition = 0;  // from the start of the report data (after the report-id byte)
    std::uint16_t bitSize = 1;      // array: slot size; variable: 1
    std::uint16_t reportCount = 0;  // array slots or variable fields
    std::int32_t logicalMin = 0;
    std::int32_t logicalMax = 0;
};

// Multi-bit variable fields; a range capability covers several consecutive usages, one field each.
struct ValueCaps {
    std::uint16_t usagePage = 0;
    std::uint8_t reportId = 0;
    bool isRange = false;
    std::uint16_t usageMin = 0;
    std::uint16_t usageMax = 0;
    std::uint32_t bitPosition = 0;
    std::uint16_t bitSize = 0;
    std::uint16_t reportCount = 1; // fields; a range has usageMax - usageMin + 1 of them
    std::int32_t logicalMin = 0;
    std::int32_t logicalMax = 0;
    std::int32_t physicalMin = 0;
    std::int32_t physicalMax = 0;
    bool hasNull = false;
};

struct TopCollection {
    std::uint16_t usagePage = 0;
    std::uint16_t usage = 0;
    std::vector<std::uint8_t> reportIds; // sorted; empty when the descriptor uses none
    // Report lengths in bytes including the report-id byte (0 when the collection has none of the type).
    std::uint16_t reportLength[kReportTypes] = {0, 0, 0};
    std::vector<ButtonCaps> buttonCaps[kReportTypes];
    std::vector<ValueCaps> valueCaps[kReportTypes];

    std::uint16_t inputReportLength() const { return reportLength[0]; }
    std::uint16_t outputReportLength() const { return reportLength[1]; }
    std::uint16_t featureReportLength() const { return reportLength[2]; }
    bool ownsReportId(std::uint8_t id) const;
};

struct ReportDescriptor {
    std::vector<TopCollection> collections;
    bool usesReportIds = false;

    // Index of the collection an input report belongs to (by its first byte when report ids are
    // used), or -1 when none does.
    int collectionOfReport(std::span<const std::uint8_t> report) const;
};

// Parses a descriptor; nullopt (with a reason in *error) when it is malformed or over the limits.
std::optional<ReportDescriptor> parseReportDescriptor(std::span<const std::uint8_t> bytes,
                                                      std::string* error = nullptr);

// Status of the decoding calls, in the spirit of the platform HID parser's status codes.
enum class HidStatus : std::uint8_t {
    Success,
    UsageNotFound,       // no capability of that page/usage in this report id
    InvalidReportLength, // the report is too short for the field
    IncompatibleReportId,
    BadLogPhyValues,     // scaling impossible: logical or physical range unusable
    NullValue,           // value outside the logical range of a field with a null state
    ValueOutOfRange,
    BufferTooSmall,
};

// Largest number of usages of one page that can be set at once in a report of this type.
std::size_t maxUsageListLength(const TopCollection& c, ReportType type, std::uint16_t usagePage);

// Set usages of the page in the report (report-id byte first), in field order.
HidStatus getUsages(const TopCollection& c, ReportType type, std::uint16_t usagePage,
                    std::span<const std::uint8_t> report, std::vector<std::uint16_t>& usages);

HidStatus getUsageValue(const TopCollection& c, ReportType type, std::uint16_t usagePage, std::uint16_t usage,
                        std::span<const std::uint8_t> report, std::uint32_t& value);

HidStatus getScaledUsageValue(const TopCollection& c, ReportType type, std::uint16_t usagePage,
                              std::uint16_t usage, std::span<const std::uint8_t> report, std::int32_t& value);

} // namespace kavrel::hid
