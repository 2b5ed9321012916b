// Concurrent writers and readers on one INI file lose no key and never see a torn file.
#include "kavrel/os/ini.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

using kavrel::os::readProfileInt;
using kavrel::os::readProfileString;
using kavrel::os::writeProfileString;

TEST(IniThreads, ConcurrentWritersLoseNoKey) {
    kavrel::test::TempDir dir;
    const auto file = dir / "msProfile.ini";
    // Two spellings of the same file must still share one lock.
    const auto other = dir.path() / "." / "msProfile.ini";
    constexpr int kThreads = 4, kKeys = 40;
    std::atomic<bool> done{false};
    std::atomic<int> failures{0};

    std::thread reader([&] {
        while (!done.load()) {
            // Every replacement is whole: the count key, once written, never disappears.
            std::string v = readProfileString(file, "PROFILECOUNT", "count", "missing");
            if (v != "missing" && v != "1") failures.fetch_add(1);
        }
    });
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([&, t] {
            for (int i = 0; i < kKeys; ++i) {
                const auto& path = (i % 2) ? file : other;
                std::string section = (t % 2) ? "PROFILENAME" : "PROCESS";
                if (!writeProfileString(path, section, std::to_string(t * 1000 + i), "v" + std::to_string(i)))
                    failures.fetch_add(1);
                if (i == 0 && !writeProfileString(path, "PROFILECOUNT", "count", "1")) failures.fetch_add(1);
            }
        });
    }
    for (auto& w : writers) w.join();
    done = true;
    reader.join();

    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(readProfileInt(file, "PROFILECOUNT", "count"), 1);
    for (int t = 0; t < kThreads; ++t) {
        std::string section = (t % 2) ? "PROFILENAME" : "PROCESS";
        for (int i = 0; i < kKeys; ++i)
            EXPECT_EQ(readProfileString(file, section, std::to_string(t * 1000 + i), "lost"), "v" + std::to_string(i))
                << section << ' ' << t * 1000 + i;
    }
}

} // namespace
