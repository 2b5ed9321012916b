// Where the records lie inside profile bodies (offsets within the body).
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>

#include "kavrel/keys/key_function.h"
#include "kavrel/lighting/records.h"
#include "kavrel/mouse/records.h"

namespace kavrel::profiles {

// Keyboard lighting body: record, custom header, custom colour table.
inline constexpr std::size_t kCustomHeaderOffset = lighting::LightingRecord::kSize;                        // 64
inline constexpr std::size_t kCustomColorsOffset = kCustomHeaderOffset + lighting::CustomHeader::kSize; // 68

template <std::size_t N>
void put(std::span<std::uint8_t> out, std::size_t at, const std::array<std::uint8_t, N>& bytes) {
    std::copy(bytes.begin(), bytes.end(), out.begin() + static_cast<std::ptrdiff_t>(at));
}

template <std::size_t N>
void get(std::span<const std::uint8_t> in, std::size_t at, std::array<std::uint8_t, N>& bytes) {
    std::copy_n(in.begin() + static_cast<std::ptrdiff_t>(at), N, bytes.begin());
}

inline void putKeyBlock(std::span<std::uint8_t> out, const keys::KeyBlock& b) { put(out, 0, b.bytes); }
inline void getKeyBlock(std::span<const std::uint8_t> in, keys::KeyBlock& b) { get(in, 0, b.bytes); }

inline void putMouseRecord(std::span<std::uint8_t> out, std::size_t at, const mouse::MouseRecord& r) {
    put(out, at, r.bytes);
}
inline void getMouseRecord(std::span<const std::uint8_t> in, std::size_t at, mouse::MouseRecord& r) {
    get(in, at, r.bytes);
}

inline void putLightingRecord(std::span<std::uint8_t> out, std::size_t at, const lighting::LightingRecord& r) {
    put(out, at, r.bytes);
}
inline void getLightingRecord(std::span<const std::uint8_t> in, std::size_t at, lighting::LightingRecord& r) {
    get(in, at, r.bytes);
}

inline void putKeyboardLighting(std::span<std::uint8_t> out, const lighting::LightingRecord& r,
                                const lighting::CustomHeader& h, const lighting::CustomColorTable& c) {
    put(out, 0, r.bytes);
    put(out, kCustomHeaderOffset, h.bytes);
    put(out, kCustomColorsOffset, c.bytes);
}
inline void getKeyboardLighting(std::span<const std::uint8_t> in, lighting::LightingRecord& r,
                                lighting::CustomHeader& h, lighting::CustomColorTable& c) {
    get(in, 0, r.bytes);
    get(in, kCustomHeaderOffset, h.bytes);
    get(in, kCustomColorsOffset, c.bytes);
}

} // namespace kavrel::profiles
