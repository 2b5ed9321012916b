// kavrel-devsim: emulated devices of the Kavrel family for trying and testing without hardware.
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "kavrel/sim/emulator.h"
#include "kavrel/sim/options.h"

int main(int argc, char** argv) {
    using namespace kavrel::sim;
    const pid_t parent = getppid();
    // End with the process that started us (a test, or kavrel --simulate); the getppid check
    // covers a parent that died before the request took effect.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) return 0;
    // Wake-ups close to the USB timing model's deadlines.
    prctl(PR_SET_TIMERSLACK, 1UL);

    Options options;
    std::string error;
    if (!parseOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::fprintf(stderr, "kavrel-devsim: %s\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(usageText().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::puts("kavrel-devsim " KAVREL_VERSION);
        return 0;
    }

    installStopSignalHandlers();
    Emulator emulator(options);
    if (!emulator.start(error)) {
        std::fprintf(stderr, "kavrel-devsim: %s\n", error.c_str());
        return 1;
    }
    emulator.watchParent(parent);
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    return emulator.run();
}
