// The process entry of the program: single instance, skin set-up, the main window, the event
// loop and the teardown in its fixed order. Returns the exit code (0 on every path).
#pragma once

namespace kavrel::app {

struct RunOptions {
    // Bring the window forward after start-up even without a device (a desktop without a
    // device or tray, screenshots).
    bool showWindow = false;
};

int runApplication(int& argc, char** argv, const RunOptions& options = {});

} // namespace kavrel::app
