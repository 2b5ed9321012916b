// The command line of kavrel-devsim.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "kavrel/sim/firmware.h"

namespace kavrel::sim {

// Faults of one device. Frames are the vendor output reports the device receives, counted from 1.
struct Faults {
    bool noAnswer = false;                 // take every frame, answer none
    std::uint64_t noAnswerFirst = 0;       // frames 1..n are not answered
    std::set<std::uint64_t> statusFF;      // answered with status 0xFF, not carried out
    std::set<std::uint64_t> statusFE;      // answered with status 0xFE, not carried out
    std::set<std::uint64_t> failWrite;     // the write is reported failed; no answer
    std::set<std::uint64_t> lateAnswer;    // answered after kLateAnswerMs
    std::set<std::uint64_t> disconnectAfter; // unplugged once the frame is answered
};

inline constexpr unsigned kLateAnswerMs = 500;

struct DeviceOptions {
    FirmwareConfig firmware;
    Faults faults;
};

struct Options {
    std::string dir;                  // where the devices' files and sockets are made
    std::vector<DeviceOptions> devices; // in command-line order, each model at most once
    unsigned usbIntervalMs = 0;       // 0: no USB timing model
    std::string dumpFile;             // state dump at exit and on "dump"; empty: none
    bool exitOnEof = false;
    bool verbose = false;             // every frame to standard error
    bool help = false;
    bool version = false;
};

// $KAVREL_VHID_DIR, else $XDG_RUNTIME_DIR/kavrel/virtual-hid, else /tmp/kavrel-<uid>/virtual-hid.
std::string defaultDeviceDir();

// Parses the arguments after the program name. On failure returns false with a message in error.
bool parseOptions(const std::vector<std::string>& args, Options& out, std::string& error);

// The --help text.
std::string usageText();

} // namespace kavrel::sim
