#include "kavrel/sim/options.h"

#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>

namespace kavrel::sim {

std::string defaultDeviceDir() {
    if (const char* d = std::getenv("KAVREL_VHID_DIR"); d && *d) return d;
    if (const char* x = std::getenv("XDG_RUNTIME_DIR"); x && *x) return std::string(x) + "/kavrel/virtual-hid";
    return "/tmp/kavrel-" + std::to_string(getuid()) + "/virtual-hid";
}

std::string usageText() {
    return R"(Usage: kavrel-devsim [OPTION]...
Emulates the firmware of the Kavrel device family (mouse 0c45:7643, keyboard 0c45:6556,
mouse pad 0c45:5004) as virtual HID devices that Kavrel finds beside real ones, so that the
program can be tried and tested without hardware. Each device is served on a Unix socket in
the device folder; the devices are unplugged when the emulator ends.

Devices and folder:
  --dir DIR               device folder (default $KAVREL_VHID_DIR, else
                          $XDG_RUNTIME_DIR/kavrel/virtual-hid)
  --device NAME           serve a device: mouse, keyboard, pad, or foreign (the family's
                          vendor id with product id 7000); may be repeated; default: mouse
  --key-slots [DEV:]N     key slots in the device information (byte 5); default mouse 8,
                          keyboard 106, pad 0
  --macro-units [DEV:]N   macro memory in 128-byte units (byte 6); default 32, pad 0
  --sensor [DEV:]HEX      sensor identifier (bytes 9-10), e.g. 3389 or 0x3325; default mouse
                          3389, others 0

Faults (frames are the vendor reports a device receives, counted from 1 per device; each
option may be repeated and applies to every device unless given as DEV:K):
  --no-answer [DEV]       take every frame but never answer
  --no-answer-first [DEV:]N  leave frames 1 to N unanswered
  --status-ff [DEV:]K     answer frame K with status 0xFF (the frame is not carried out)
  --status-fe [DEV:]K     answer frame K with status 0xFE (the frame is not carried out)
  --fail-write [DEV:]K    report the write of frame K as failed (no answer)
  --late-answer [DEV:]K   answer frame K only after 500 ms
  --disconnect-after [DEV:]K  unplug the device once frame K is answered

Timing and output:
  --usb-interval-ms N     USB timing model: every report, out and in, takes N ms, as on an
                          interrupt endpoint with that interval; default 0 (off)
  --dump FILE             write the state dump (JSON: memory areas in hex, frame log) to FILE
                          at exit and on the command "dump"
  --exit-on-eof           end when standard input ends (otherwise it is ignored from then on)
  --verbose               print every frame in and out on standard error
  --help                  show this text and exit
  --version               show the version and exit

Commands on standard input, one per line (each is answered with "ok" or "error: ..."):
  announce DEV USAGE      send consumer usage USAGE (hex, e.g. 0x401) and its release
  dump [FILE]             write the state dump to FILE, else to the --dump file, else to
                          standard output as one line
  unplug DEV              remove the device
  plug DEV                bring an unplugged device back (its memory is kept)
  quit                    end the emulator

"ready" is printed on standard output once every device's socket exists. The emulator ends on
"quit", SIGTERM, SIGINT, when its parent process ends, and at the end of standard input with
--exit-on-eof; it removes its devices' files on the way out.

Example:
  kavrel-devsim --device mouse --device keyboard
)";
}

namespace {

bool parseUnsigned(std::string_view s, std::uint64_t& v, int base = 10) {
    if (base == 16 && (s.starts_with("0x") || s.starts_with("0X"))) s.remove_prefix(2);
    if (s.empty()) return false;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
    return ec == std::errc() && p == s.data() + s.size();
}

// A value that may name its device: "mouse:3" or "3".
struct Scoped {
    std::optional<Model> model;
    std::string value;
};

bool splitScoped(const std::string& arg, Scoped& out, std::string& error) {
    const auto colon = arg.find(':');
    if (colon == std::string::npos) {
        out = {std::nullopt, arg};
        return true;
    }
    const auto m = modelFromName(arg.substr(0, colon));
    if (!m) {
        error = "unknown device '" + arg.substr(0, colon) + "'";
        return false;
    }
    out = {m, arg.substr(colon + 1)};
    return true;
}

} // namespace

bool parseOptions(const std::vector<std::string>& args, Options& out, std::string& error) {
    out = Options{};
    std::vector<Model> models;
    // Settings are applied once every device is known, as an option may come before its --device.
    std::vector<std::pair<std::optional<Model>, std::function<void(DeviceOptions&)>>> settings;
    bool dirGiven = false;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& v) {
            if (i + 1 >= args.size()) {
                error = "option " + a + " needs a value";
                return false;
            }
            v = args[++i];
            return true;
        };
        // A [DEV:]number value, checked against max.
        auto scopedNumber = [&](std::optional<Model>& m, std::uint64_t& n, std::uint64_t min, std::uint64_t max,
                                int base = 10) {
            std::string v;
            Scoped s;
            if (!value(v) || !splitScoped(v, s, error)) return false;
            if (!parseUnsigned(s.value, n, base) || n < min || n > max) {
                error = "bad value '" + v + "' for " + a;
                return false;
            }
            m = s.model;
            return true;
        };
        std::optional<Model> m;
        std::uint64_t n = 0;
        if (a == "--help" || a == "-h") {
            out.help = true;
        } else if (a == "--version") {
            out.version = true;
        } else if (a == "--dir") {
            if (!value(out.dir)) return false;
            dirGiven = true;
        } else if (a == "--device") {
            std::string v;
            if (!value(v)) return false;
            const auto model = modelFromName(v);
            if (!model) {
                error = "unknown device '" + v + "' (mouse, keyboard, pad, foreign)";
                return false;
            }
            for (Model have : models)
                if (have == *model) {
                    error = "device '" + v + "' given twice";
                    return false;
                }
            models.push_back(*model);
        } else if (a == "--no-answer") {
            // The device name is optional here: take the next argument only when it names one.
            if (i + 1 < args.size() && modelFromName(args[i + 1])) m = modelFromName(args[++i]);
            settings.push_back({m, [](DeviceOptions& d) { d.faults.noAnswer = true; }});
        } else if (a == "--no-answer-first") {
            if (!scopedNumber(m, n, 0, UINT64_MAX)) return false;
            settings.push_back({m, [n](DeviceOptions& d) { d.faults.noAnswerFirst = n; }});
        } else if (a == "--status-ff" || a == "--status-fe" || a == "--fail-write" || a == "--late-answer" ||
                   a == "--disconnect-after") {
            if (!scopedNumber(m, n, 1, UINT64_MAX)) return false;
            std::set<std::uint64_t> Faults::*which = a == "--status-ff"    ? &Faults::statusFF
                                                     : a == "--status-fe"  ? &Faults::statusFE
                                                     : a == "--fail-write" ? &Faults::failWrite
                                                     : a == "--late-answer" ? &Faults::lateAnswer
                                                                            : &Faults::disconnectAfter;
            settings.push_back({m, [n, which](DeviceOptions& d) { (d.faults.*which).insert(n); }});
        } else if (a == "--key-slots") {
            if (!scopedNumber(m, n, 0, 255)) return false;
            settings.push_back({m, [n](DeviceOptions& d) { d.firmware.keySlots = static_cast<std::uint8_t>(n); }});
        } else if (a == "--macro-units") {
            if (!scopedNumber(m, n, 0, 255)) return false;
            settings.push_back(
                {m, [n](DeviceOptions& d) { d.firmware.macroUnits = static_cast<std::uint8_t>(n); }});
        } else if (a == "--sensor") {
            if (!scopedNumber(m, n, 0, 0xFFFF, 16)) return false;
            settings.push_back({m, [n](DeviceOptions& d) { d.firmware.sensor = static_cast<std::uint16_t>(n); }});
        } else if (a == "--usb-interval-ms") {
            std::string v;
            if (!value(v)) return false;
            if (!parseUnsigned(v, n) || n > 1000) {
                error = "bad value '" + v + "' for --usb-interval-ms (0-1000)";
                return false;
            }
            out.usbIntervalMs = static_cast<unsigned>(n);
        } else if (a == "--dump") {
            if (!value(out.dumpFile)) return false;
        } else if (a == "--exit-on-eof") {
            out.exitOnEof = true;
        } else if (a == "--verbose" || a == "-v") {
            out.verbose = true;
        } else {
            error = "unknown option '" + a + "' (see --help)";
            return false;
        }
    }

    if (models.empty()) models.push_back(Model::Mouse);
    for (const auto& [scope, apply] : settings) {
        if (!scope) continue;
        bool served = false;
        for (Model have : models) served = served || have == *scope;
        if (!served) {
            error = "option for device '" + std::string(modelName(*scope)) + "', which is not served";
            return false;
        }
    }
    for (Model model : models) {
        DeviceOptions d{FirmwareConfig::defaults(model), {}};
        for (const auto& [scope, apply] : settings)
            if (!scope || *scope == model) apply(d);
        out.devices.push_back(d);
    }
    if (!dirGiven) out.dir = defaultDeviceDir();
    if (out.dir.empty()) {
        error = "empty device folder";
        return false;
    }
    return true;
}

} // namespace kavrel::sim
