// The catalogue reads the link watcher makes each cycle: the device-profile count, then the
// link flag and the linked program of every profile (1 + 2n reads) on a mouse catalogue that
// holds n profiles of each kind, the device sections last (the file's worst case).
#include "kavrel/os/ini.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;
using kavrel::os::readProfileInt;
using kavrel::os::readProfileString;
using kavrel::os::writeProfileString;

struct Kind {
    const char *count, *name, *select, *like, *process;
};
constexpr Kind kKinds[] = {
    {"PROFILECOUNT", "PROFILENAME", "PROFILESELECT", "PROFILELIKEEXE", "PROCESS"},
    {"PROFILEDENGCOUNT", "PROFILEDENGNAME", "PROFILEDENGSELECT", "PROFILELIKEDENGEXE", "DENGPROCESS"},
    {"PROFILEDEVICECOUNT", "PROFILEDEVICENAME", "PROFILEDEVICESELECT", "PROFILELIKEDEVICEEXE", "DEVICEPROCESS"},
};

fs::path makeCatalogue(int n, bool utf16) {
    std::string tmpl = (fs::temp_directory_path() / "kavrel-bench-XXXXXX").string();
    fs::path dir = ::mkdtemp(tmpl.data());
    fs::path file = dir / "msProfile.ini";
    for (const Kind& k : kKinds) {
        writeProfileString(file, k.count, "count", std::to_string(n));
        writeProfileString(file, k.select, "select", "0");
        for (int i = 0; i < n; ++i) {
            std::string key = std::to_string(i);
            writeProfileString(file, k.name, key, "Profile " + key);
            writeProfileString(file, k.like, key, i % 3 ? "0" : "1");
            writeProfileString(file, k.process, key,
                               i % 3 ? " " : "/home/player/Games/Some Game " + key + "/bin/x86_64/game" + key + ".exe");
        }
    }
    if (utf16) { // the same catalogue as the Windows program would leave it
        std::string text;
        {
            FILE* f = std::fopen(file.c_str(), "rb");
            char buf[65536];
            for (std::size_t got; (got = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, got);
            std::fclose(f);
        }
        std::string out = "\xFF\xFE";
        for (char c : text) out.append({c, '\0'}); // ASCII only
        FILE* f = std::fopen(file.c_str(), "wb");
        std::fwrite(out.data(), 1, out.size(), f);
        std::fclose(f);
    }
    return file;
}

void linkWatcherCycle(benchmark::State& state, bool utf16) {
    const int n = int(state.range(0));
    fs::path file = makeCatalogue(n, utf16);
    for (auto _ : state) {
        int count = readProfileInt(file, "PROFILEDEVICECOUNT", "count");
        for (int i = 0; i < count; ++i) {
            std::string key = std::to_string(i);
            benchmark::DoNotOptimize(readProfileString(file, "PROFILELIKEDEVICEEXE", key));
            benchmark::DoNotOptimize(readProfileString(file, "DEVICEPROCESS", key));
        }
    }
    state.counters["reads"] = double(1 + 2 * n);
    state.counters["file_bytes"] = double(fs::file_size(file));
    fs::remove_all(file.parent_path());
}

void BM_LinkWatcherCycle(benchmark::State& state) { linkWatcherCycle(state, false); }
void BM_LinkWatcherCycleUtf16(benchmark::State& state) { linkWatcherCycle(state, true); }

BENCHMARK(BM_LinkWatcherCycle)->Arg(10)->Arg(100)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LinkWatcherCycleUtf16)->Arg(10)->Arg(100)->Unit(benchmark::kMicrosecond);

} // namespace
