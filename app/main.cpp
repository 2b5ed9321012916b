// Process entry of kavrel: options, then the application (library kavrel_app).
#include <cstdio>
#include <cstring>

#include "kavrel/app/application.h"

#ifndef KAVREL_VERSION
#define KAVREL_VERSION "0.0.0"
#endif

int main(int argc, char** argv) {
    kavrel::app::RunOptions options;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("kavrel %s\n", KAVREL_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0) {
            std::printf("Usage: kavrel [--simulate[=mouse,keyboard,pad]] [--show] [--version] [--help]\n"
                        "Configurator of the Drovik Morv TZ814 mouse, keyboard and mouse pad.\n"
                        "  --simulate   run against the built-in device emulator instead of hardware\n"
                        "  --show       open the window at start, even without a device\n"
                        "  --version    print the version and exit\n"
                        "  --help       print this text and exit\n"
                        "Set KAVREL_DEBUG=1 for diagnostics on standard error.\n");
            return 0;
        }
        if (std::strncmp(argv[i], "--simulate", 10) == 0) {
            std::printf("kavrel: no device emulator is built yet\n");
            return 0;
        }
        if (std::strcmp(argv[i], "--show") == 0)
            options.showWindow = true;
    }
    return kavrel::app::runApplication(argc, argv, options);
}
