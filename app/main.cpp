// Process entry of kavrel: options, then the application (library kavrel_app).
#include <cstdio>
#include <cstring>

#include <optional>
#include <string>
#include <vector>

#include "kavrel/app/application.h"
#include "kavrel/app/simulate.h"
#include "kavrel/app/window_workers.h"

#ifndef KAVREL_VERSION
#define KAVREL_VERSION "0.0.0"
#endif

int main(int argc, char** argv) {
    kavrel::app::RunOptions options;
    std::optional<std::vector<std::string>> simulated;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("kavrel %s\n", KAVREL_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0) {
            std::printf("Usage: kavrel [--simulate[=mouse,keyboard,pad]] [--show] [--version] [--help]\n"
                        "Configurator of the Drovik Morv TZ814 mouse, keyboard and mouse pad.\n"
                        "  --simulate   run against emulated devices (kavrel-devsim; default: the mouse)\n"
                        "  --show       open the window at start, even without a device\n"
                        "  --version    print the version and exit\n"
                        "  --help       print this text and exit\n"
                        "Set KAVREL_DEBUG=1 for diagnostics on standard error.\n");
            return 0;
        }
        std::string error;
        if (auto devices = kavrel::app::parseSimulateArgument(argv[i], &error)) {
            if (devices->empty()) {
                std::fprintf(stderr, "kavrel: --simulate: %s\n", error.c_str());
                return 2;
            }
            simulated = std::move(*devices);
            continue;
        }
        if (std::strcmp(argv[i], "--show") == 0)
            options.showWindow = true;
    }
    kavrel::app::installWorkerBodies();
    if (simulated)
        return kavrel::app::runSimulated(argc, argv, options, *simulated);
    return kavrel::app::runApplication(argc, argv, options);
}
