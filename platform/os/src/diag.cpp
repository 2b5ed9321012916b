#include "kavrel/os/diag.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace kavrel::os {
namespace {
std::atomic<int> g_enabled{-1};
}

bool debugEnabled() {
    int v = g_enabled.load(std::memory_order_relaxed);
    if (v < 0) {
        const char* env = std::getenv("KAVREL_DEBUG");
        v = (env && std::strcmp(env, "1") == 0) ? 1 : 0;
        g_enabled.store(v, std::memory_order_relaxed);
    }
    return v == 1;
}

void setDebugEnabled(bool on) { g_enabled.store(on ? 1 : 0, std::memory_order_relaxed); }

void debugLine(std::string_view text) {
    if (!debugEnabled()) return;
    std::string line(text);
    if (line.empty() || line.back() != '\n') line.push_back('\n');
    // One write() per line keeps lines of concurrent threads whole.
    ssize_t ignored = ::write(STDERR_FILENO, line.data(), line.size());
    (void)ignored;
}

void debugf(const char* format, ...) {
    if (!debugEnabled()) return;
    char buf[1024];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    debugLine(buf);
}

} // namespace kavrel::os
