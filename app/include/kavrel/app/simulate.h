// Simulate mode: the program runs against kavrel-devsim, started as a child process on a private
// virtual-HID folder, instead of (and beside) real hardware.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kavrel/app/application.h"

namespace kavrel::app {

// "--simulate" (the mouse) or "--simulate=mouse,keyboard,pad" (any of them, any order): the
// devices to emulate. Nothing for other arguments; an empty list with *error set for a bad one.
std::optional<std::vector<std::string>> parseSimulateArgument(std::string_view arg, std::string* error);

// kavrel-devsim beside the running executable, else the bare name for a PATH search.
std::string devsimProgram();

// The emulator child. It ends when stop() is called, when this object goes, and also when the
// program dies without either (its standard input ends and its parent is gone).
class EmulatorProcess {
public:
    EmulatorProcess() = default;
    ~EmulatorProcess();
    EmulatorProcess(const EmulatorProcess&) = delete;
    EmulatorProcess& operator=(const EmulatorProcess&) = delete;

    // Creates a private device folder, starts the emulator there and waits for its "ready";
    // false with *error on any failure (nothing is left running).
    bool start(const std::string& program, const std::vector<std::string>& devices, std::string* error);
    void stop();
    const std::string& folder() const { return folder_; }
    int pid() const { return pid_; }

private:
    int pid_ = -1;
    int toChild_ = -1;
    int fromChild_ = -1;
    std::string folder_;
};

// Starts the emulator, points the program's HID layer at its folder (KAVREL_VHID_DIR), runs the
// program and stops the emulator afterwards. Exit code 1 when the emulator cannot start.
int runSimulated(int& argc, char** argv, const RunOptions& options, const std::vector<std::string>& devices);

} // namespace kavrel::app
