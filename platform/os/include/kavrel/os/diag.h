// Diagnostics: one line each to standard error when KAVREL_DEBUG=1, nowhere otherwise.
// The texts are the program's own debug lines and are kept as written (Chinese included).
#pragma once

#include <string_view>

namespace kavrel::os {

// True when KAVREL_DEBUG is "1" (read once; tests may call setDebugEnabled).
bool debugEnabled();
void setDebugEnabled(bool on);

// Writes text and a newline as one write, so lines of several threads never mix.
// A trailing newline already in text is not doubled.
void debugLine(std::string_view text);

// printf-style variant; the result is cut at 1024 bytes.
void debugf(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace kavrel::os
