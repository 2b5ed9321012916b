// Time of the three bulk transfers over the emulator with a 1 ms USB interval, as a ratio to the
// physical floor (one output and one input report of 1 ms each per exchange), and the host CPU
// time this process spends per exchange.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include <sys/resource.h>

#include "devsim.h"
#include "kavrel/device/protocol.h"

using namespace kavrel;

namespace {

constexpr double kIntervalMs = 1.0;

struct Rig {
    std::unique_ptr<kavrel::testing::Devsim> sim;
    DeviceChannel ch;
    bool ok = false;

    Rig() {
        sim = std::make_unique<kavrel::testing::Devsim>(
            std::vector<std::string>{"--device", "mouse", "--usb-interval-ms", "1"});
        if (!sim->ready()) return;
        hid::Roots r;
        r.virtualDir = sim->dir().string();
        r.hidraw = false;
        hid::setRoots(r);
        ch.SetIdentity(0x0C45, 0x7643, 0x92, 0xFF1C);
        HidDevice& d = ch.Device();
        d.EnumerateInterfaces();
        while (auto p = d.NextInterfacePath()) {
            if (d.Open(*p, true, true, true, false) && d.Capabilities().usagePage == 0xFF1C) {
                ch.connected = true;
                ok = true;
                break;
            }
        }
        d.FreeInterfacePaths();
    }
};

Rig& rig() {
    static Rig r;
    return r;
}

double processCpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

template <class Transfer>
void run(benchmark::State& state, std::size_t exchanges, Transfer transfer) {
    Rig& r = rig();
    if (!r.ok) {
        state.SkipWithError("kavrel-devsim did not start");
        return;
    }
    const double cpu0 = processCpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    for (auto _ : state) {
        if (transfer(r.ch) != 1) {
            state.SkipWithError("transfer failed");
            return;
        }
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double cpu = processCpuSeconds() - cpu0;
    const double n = static_cast<double>(state.iterations());
    const double floorSeconds = 2 * kIntervalMs / 1000.0 * static_cast<double>(exchanges);
    state.counters["exchanges"] = static_cast<double>(exchanges);
    state.counters["floor_ms"] = floorSeconds * 1000.0;
    state.counters["ratio_to_floor"] = wall / n / floorSeconds;
    state.counters["host_cpu_us_per_exchange"] = cpu / n / static_cast<double>(exchanges) * 1e6;
}

void KeyTableRead512(benchmark::State& state) {
    std::vector<std::uint8_t> table(512);
    run(state, chunkPlan(512, 0).size(), [&](DeviceChannel& ch) { return cmd::ReadKeyTable(ch, table.data()); });
}

void KeyBlockWrite126(benchmark::State& state) {
    std::vector<std::uint8_t> block(126, 0x10);
    run(state, chunkPlan(126, 0).size(),
        [&](DeviceChannel& ch) { return cmd::WriteKeyBlock(ch, block.data(), 1, block.size()); });
}

void LightingFrame378(benchmark::State& state) {
    std::vector<std::uint8_t> frame(378, 0x40);
    run(state, chunkPlan(378, 0).size(),
        [&](DeviceChannel& ch) { return cmd::WriteLightingFrame(ch, frame.data(), frame.size()); });
}

} // namespace

BENCHMARK(KeyTableRead512)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(KeyBlockWrite126)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(LightingFrame378)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
