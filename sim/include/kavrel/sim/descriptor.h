// HID report descriptors of the emulated devices and the reports of their consumer collection.
#pragma once

#include <cstdint>
#include <vector>

#include "kavrel/sim/firmware.h"

namespace kavrel::sim {

// The device's whole report descriptor, as its USB interface would present it:
//  mouse, foreign: mouse (report id 1), consumer control (id 3), vendor (id 4);
//  keyboard: keyboard with its LED output report (id 1), consumer control (id 3), vendor (id 4);
//  mouse pad: consumer control (id 3), vendor (id 4).
// The vendor collection (usage page 0xFF1C, usage 0x92) has 63-byte input and output reports; the
// consumer collection (usage page 0x0C, usage 1) one 16-bit array field of usages 0-0x4FF.
std::vector<std::uint8_t> reportDescriptor(Model m);

// The consumer-control input report carrying one usage: report id 3, usage little-endian.
std::vector<std::uint8_t> consumerReport(std::uint16_t usage);

inline constexpr std::uint8_t kKeyboardLedReportId = 1;
inline constexpr std::size_t kKeyboardLedReportSize = 2; // report id + LED bits

} // namespace kavrel::sim
