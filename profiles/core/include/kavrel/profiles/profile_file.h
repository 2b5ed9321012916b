// Profile files: a 16-byte header (magic AA 55, zero, device code, ten zeros) and a body of the
// size the device and kind give. No length, checksum or version: the magic alone makes a file valid.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>

namespace kavrel::profiles {

inline constexpr std::size_t kProfileHeaderSize = 16;
inline constexpr std::uint16_t kProfileMagic = 0x55AA; // stored little-endian: AA 55

// Results of ReadProfileFile (and of LoadProfile).
inline constexpr int kProfileRead = 0;
inline constexpr int kProfileMissing = 1;
inline constexpr int kProfileFormatError = -1;

// Reads the body behind the header into body (whose size is the body size). The caller zeroes
// body first: a shorter file leaves the rest untouched, bytes beyond body.size() are ignored.
// 1 when no regular file is at the path, -1 when the header is short or lacks the magic (body
// then untouched), 0 otherwise. The device code is not checked. When the exact path does not
// exist, a file in the same folder whose name matches without regard to ASCII case is read.
int ReadProfileFile(const std::filesystem::path& path, std::span<std::uint8_t> body);

// Writes header and body. The file is replaced atomically (temporary file in the same folder,
// then rename), so a failure leaves the previous file whole; it is reported on the diagnostics
// channel and by a false result. An existing file whose name matches without regard to ASCII
// case is the one replaced.
bool WriteProfileFile(const std::filesystem::path& path, std::span<const std::uint8_t> body,
                      std::uint16_t deviceCode);

// The path itself when something exists there, else the first (by name) entry of the same
// folder matching its file name without regard to ASCII case, else the path unchanged.
std::filesystem::path resolveCaseInsensitive(const std::filesystem::path& path);

} // namespace kavrel::profiles
