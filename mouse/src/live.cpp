#include "kavrel/mouse/live.h"

#include <atomic>

#include "kavrel/mouse/pointer_settings.h"

namespace kavrel::mouse {
namespace {

std::array<MouseRecord, kRecordSlots> g_records;
MouseSettings g_settings;
std::uint8_t g_pointerSpeed = 0;
std::uint8_t g_wheelLines = 0;

FixedPointerSettings g_defaultPointer;
std::atomic<PointerSettings*> g_pointer{nullptr};

} // namespace

std::array<MouseRecord, kRecordSlots>& mouseRecords() { return g_records; }
MouseRecord& mouseRecord(std::size_t slot) { return g_records[slot < kRecordSlots ? slot : 0]; }
MouseSettings& liveMouseSettings() { return g_settings; }
std::uint8_t& pointerSpeed() { return g_pointerSpeed; }
std::uint8_t& wheelLines() { return g_wheelLines; }

void resetMouseState() {
    g_records = {};
    g_settings = {};
    g_pointerSpeed = 0;
    g_wheelLines = 0;
}

PointerSettings& pointerSettings() {
    PointerSettings* p = g_pointer.load(std::memory_order_acquire);
    return p ? *p : g_defaultPointer;
}

FixedPointerSettings& defaultPointerSettings() { return g_defaultPointer; }

void setPointerSettings(PointerSettings* impl) { g_pointer.store(impl, std::memory_order_release); }

} // namespace kavrel::mouse
