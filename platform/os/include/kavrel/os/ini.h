// Profile-string INI files, with the semantics the catalogues, macro stores and "main.ini"
// rely on: key-by-key reads and writes, no cached copy, CRLF and UTF-8 on write, UTF-8 (with
// or without BOM) and UTF-16LE (with BOM) on read. Sections and keys match without regard
// to ASCII case; the first of duplicate sections or keys wins. All strings are UTF-8.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace kavrel::os {

// Buffer size of a profile-string read, in characters; values are cut to kIniBufferChars - 1.
inline constexpr std::size_t kIniBufferChars = 260;

// Value of key in section, or def when the file, section or key is missing or unreadable.
// The result (also def) is cut to 259 characters (code points). Blanks around values are trimmed.
std::string readProfileString(const std::filesystem::path& file, std::string_view section,
                              std::string_view key, std::string_view def = "0");

// Like readProfileString, but tells a missing file, section or key (false, out untouched)
// from a present one (true, out holds the value, cut to 259 code points).
bool findProfileString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                       std::string& out);

// Sets key in section: replaces an existing key in place, appends a new key at the end of its
// section, appends a new section at the end of the file, creates the file on the first write.
// Every other line is kept byte for byte. The file is replaced atomically (temporary + rename)
// and calls on the same file from several threads are serialised. False when it cannot write:
// the file exists but cannot be read, the folder is missing or not writable, or the names or
// the value would not read back (empty names, line breaks or NUL, ']' in section, '=' in key).
bool writeProfileString(const std::filesystem::path& file, std::string_view section,
                        std::string_view key, std::string_view value);

// Decimal conversion of a profile string: leading blanks and one sign allowed, digits up to the
// first other character, no digits gives 0 ("12abc" -> 12, "abc" -> 0, " -2" -> -2).
int profileInt(std::string_view text);

// readProfileString(file, section, key, "0") converted with profileInt.
int readProfileInt(const std::filesystem::path& file, std::string_view section, std::string_view key);

} // namespace kavrel::os
