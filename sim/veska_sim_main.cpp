// veska-sim: simulated devices of the virtual bench, standalone on pseudo-terminals.
#include <pthread.h>
#include <signal.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/DeviceFaults.h"
#include "sim/FaultControl.h"
#include "sim/FaultLine.h"
#include "sim/PtyLink.h"
#include "sim/SensorDevice.h"
#include "sim/SensorLine.h"
#include "sim/VirtualBench.h"
#include "sim/World.h"

namespace {

constexpr const char* kUsage =
    "Usage: veska-sim sensor [options] [--fault sensor:NAME...]\n"
    "       veska-sim bench --dir DIR [--time-scale F] [--motor-table FILE] [--fault FAULT...]\n"
    "       veska-sim --help | --version\n"
    "\n"
    "Runs a simulated VESKA sensor on a pseudo-terminal until SIGINT or SIGTERM.\n"
    "\n"
    "Options of 'sensor':\n"
    "  --link PATH      make PATH a symlink to the sensor's pty (an existing symlink is\n"
    "                   replaced, any other file is left alone); removed at the end\n"
    "  --baud N         pace the stream at N bit/s instead of the sensor's own rate\n"
    "  --unpaced        send stream samples as fast as the pty takes them\n"
    "  --type T         device type (default 20)\n"
    "  --serial S       serial number (default 1234)\n"
    "  --base B         base distance [mm] (default 80)\n"
    "  --range R        measuring range [mm] (default 50)\n"
    "  --target MM      hold the target at MM [mm] instead of letting it drift\n"
    "  --noise F        result noise as a fraction of the range (default 0.0002)\n"
    "  --fault FAULT    switch a fault on from the start (repeatable; see Faults)\n"
    "\n"
    "'bench' runs the coupled virtual bench: the sensor, the stage's motor controller and\n"
    "the reference encoder, linked as COM4, COM2 and COM7 in the port directory DIR (made\n"
    "when missing; use it as VESKA_PORTS). The stage places the sensor's target and the\n"
    "encoder reads it; the stage is the record of the motor table that fits the sensor.\n"
    "  --dir DIR          the port directory (required)\n"
    "  --time-scale F     world time per real time, e.g. 10 runs moves ten times as fast\n"
    "  --motor-table FILE the motor table (default Motor.dat, else the installed one)\n"
    "  --fault FAULT      switch a device's fault on from the start (repeatable)\n"
    "  and the sensor's --type, --serial, --base, --range and --noise as above.\n"
    "While the bench runs, DIR/control is a FIFO that takes commands, one a line:\n"
    "  echo 'fault encoder:silent' > DIR/control\n"
    "  fault FAULT | clear DEVICE | clear all | status | help\n"
    "Answers go to standard output; DIR/faults holds the faults in force.\n"
    "\n"
    "Faults: FAULT is DEVICE:NAME[=VALUE][@N]; with @N the fault holds from the request\n"
    "after the Nth one the device hears (vanish@N: the port hangs up then).\n";

template <typename T>
std::optional<T> ParseNumber(std::string_view text, T low, T high) {
    T value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

std::optional<double> ParseDouble(const std::string& text) {
    try {
        size_t used = 0;
        const double v = std::stod(text, &used);
        if (used != text.size()) return std::nullopt;
        return v;
    } catch (...) {
        return std::nullopt;
    }
}

struct SensorCommand {
    veska::sim::SensorOptions sensor;
    veska::sim::LineOptions line;
    std::string linkPath;
    std::optional<double> targetMm;
    std::vector<veska::sim::FaultSetting> faults;
};

/// Parses the options of 'sensor'; prints the problem and returns false on bad input.
bool ParseSensorOptions(int argc, char** argv, int first, SensorCommand& cmd) {
    for (int i = first; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--unpaced") {
            cmd.line.unpaced = true;
            continue;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "veska-sim: %s needs a value (or is unknown); see --help\n",
                         option.c_str());
            return false;
        }
        const std::string value = argv[++i];
        bool ok = true;
        auto& id = cmd.sensor.identity;
        if (option == "--link") {
            cmd.linkPath = value;
        } else if (option == "--fault") {
            std::string error;
            const auto setting = veska::sim::ParseFault(value, &error);
            if (!setting) {
                std::fprintf(stderr, "veska-sim: %s\n", error.c_str());
                return false;
            }
            cmd.faults.push_back(*setting);
        } else if (option == "--baud") {
            const auto v = ParseNumber<uint32_t>(value, 300, 12'000'000);
            ok = v.has_value();
            if (ok) cmd.line.baudOverride = *v;
        } else if (option == "--type") {
            const auto v = ParseNumber<unsigned>(value, 0, 255);
            ok = v.has_value();
            if (ok) id.deviceType = static_cast<uint8_t>(*v);
        } else if (option == "--serial") {
            const auto v = ParseNumber<unsigned>(value, 0, 65535);
            ok = v.has_value();
            if (ok) id.serialNumber = static_cast<uint16_t>(*v);
        } else if (option == "--base") {
            const auto v = ParseNumber<int>(value, 0, 32767);
            ok = v.has_value();
            if (ok) id.baseDistance = static_cast<int16_t>(*v);
        } else if (option == "--range") {
            const auto v = ParseNumber<int>(value, 1, 32767);
            ok = v.has_value();
            if (ok) id.measuringRange = static_cast<int16_t>(*v);
        } else if (option == "--target") {
            cmd.targetMm = ParseDouble(value);
            ok = cmd.targetMm.has_value();
        } else if (option == "--noise") {
            const auto v = ParseDouble(value);
            ok = v && *v >= 0.0 && *v < 1.0;
            if (ok) cmd.sensor.noise = *v;
        } else {
            std::fprintf(stderr, "veska-sim: unknown option %s; see --help\n", option.c_str());
            return false;
        }
        if (!ok) {
            std::fprintf(stderr, "veska-sim: bad value '%s' for %s\n", value.c_str(),
                         option.c_str());
            return false;
        }
    }
    return true;
}

/// Blocks the stop signals in every thread; the main thread takes them with sigwait.
sigset_t BlockStopSignals() {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    return stopSignals;
}

int RunBench(int argc, char** argv) {
    veska::sim::BenchOptions options;
    SensorCommand sensorCmd;
    std::vector<char*> sensorArgs = {argv[0], argv[1]};
    for (int i = 2; i < argc; ++i) {
        const std::string option = argv[i];
        if (option != "--dir" && option != "--time-scale" && option != "--motor-table") {
            sensorArgs.push_back(argv[i]);
            continue;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "veska-sim: %s needs a value; see --help\n", option.c_str());
            return 2;
        }
        const std::string value = argv[++i];
        if (option == "--dir") {
            options.portDirectory = value;
        } else if (option == "--motor-table") {
            options.motorTablePath = value;
        } else {
            const auto v = ParseDouble(value);
            if (!v || !(*v > 0.0) || *v > 1e6) {
                std::fprintf(stderr, "veska-sim: bad value '%s' for --time-scale\n", value.c_str());
                return 2;
            }
            options.timeScale = *v;
        }
    }
    if (!ParseSensorOptions(static_cast<int>(sensorArgs.size()), sensorArgs.data(), 2, sensorCmd))
        return 2;
    if (!sensorCmd.linkPath.empty() || sensorCmd.targetMm || sensorCmd.line.baudOverride != 0 ||
        sensorCmd.line.unpaced) {
        std::fprintf(stderr,
                     "veska-sim: bench takes the sensor options --type, --serial, --base, "
                     "--range, --noise and --fault only\n");
        return 2;
    }
    if (options.portDirectory.empty()) {
        std::fprintf(stderr, "veska-sim: bench needs --dir DIR; see --help\n");
        return 2;
    }
    options.sensor = sensorCmd.sensor;
    options.installUsbBackend = false;
    options.faults = sensorCmd.faults;

    sigset_t stopSignals = BlockStopSignals();
    veska::sim::VirtualBench bench(options);
    std::string error;
    if (!bench.Start(&error)) {
        std::fprintf(stderr, "veska-sim: %s\n", error.c_str());
        return 1;
    }
    const auto& id = options.sensor.identity;
    const auto& g = bench.GetStage().Geometry();
    std::printf("veska-sim: bench in %s, time scale %g\n", bench.PortDirectory().c_str(),
                options.timeScale);
    std::printf("  COM4 sensor  %s  type %u, serial %u, base %d mm, range %d mm\n",
                bench.SensorPty().SlavePath().c_str(), id.deviceType, id.serialNumber,
                id.baseDistance, id.measuringRange);
    std::printf("  COM2 motor   %s  stage %g mm/step, start %g mm, travel %g mm\n",
                bench.MotorPty().SlavePath().c_str(), g.stepLengthMm, g.travelStartMm,
                g.travelLengthMm);
    std::printf("  COM7 encoder %s  range %u um\n", bench.EncoderPty().SlavePath().c_str(),
                options.encoder.rangeMicrometres);
    veska::sim::FaultControl control(bench, stdout);
    if (!control.Start(&error)) {
        std::fprintf(stderr, "veska-sim: fault control: %s\n", error.c_str());
        return 1;
    }
    std::printf("Use it with:\n  VESKA_PORTS=%s veskactl motor status\n",
                bench.PortDirectory().c_str());
    std::printf("Faults: echo 'fault encoder:silent' > %s (status in %s)\n",
                control.FifoPath().c_str(), control.StatusPath().c_str());
    std::fputs(bench.FaultStatus().c_str(), stdout);
    std::printf("Stop with Ctrl+C.\n");
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stopSignals, &signal);
    control.Stop();
    bench.Stop();
    std::printf("veska-sim: stopped (%s)\n", signal == SIGINT ? "SIGINT" : "SIGTERM");
    return 0;
}

int RunSensor(const SensorCommand& cmd) {
    sigset_t stopSignals = BlockStopSignals();

    const auto& id = cmd.sensor.identity;
    veska::sim::World world(id.baseDistance, id.measuringRange);
    if (cmd.targetMm) world.SetTargetMm(*cmd.targetMm);
    veska::sim::SensorDevice sensor(world, cmd.sensor);
    veska::sim::SensorLine line(sensor, cmd.line);
    veska::sim::DeviceFaults faults(veska::sim::FaultDevice::kSensor);
    for (const veska::sim::FaultSetting& setting : cmd.faults) {
        if (!faults.Switch(setting)) {
            std::fprintf(stderr, "veska-sim: sensor takes sensor faults only, not %s\n",
                         veska::sim::FormatFault(setting).c_str());
            return 2;
        }
    }
    veska::sim::FaultLine faultLine(line, faults);
    veska::sim::PtyLink pty(faultLine, cmd.linkPath);
    std::string error;
    if (!pty.Start(&error)) {
        std::fprintf(stderr, "veska-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf(
        "veska-sim: sensor type %u, serial %u, base %d mm, range %d mm, address %u, %u bit/s%s\n",
        id.deviceType, id.serialNumber, id.baseDistance, id.measuringRange, sensor.NetAddress(),
        line.Baud(), cmd.line.unpaced ? " (stream unpaced)" : "");
    std::printf("  device: %s\n", pty.SlavePath().c_str());
    if (!cmd.linkPath.empty()) std::printf("  link:   %s\n", cmd.linkPath.c_str());
    const std::string& path = cmd.linkPath.empty() ? pty.SlavePath() : cmd.linkPath;
    std::printf("Connect with:\n");
    std::printf("  veskactl --port %s identify\n", path.c_str());
    std::printf(
        "  veskacfg: link it into the port directory and choose that port, e.g.\n"
        "    ln -sf %s \"$VESKA_PORTS/COM4\"   (then port COM4)\n",
        pty.SlavePath().c_str());
    std::printf("Stop with Ctrl+C.\n");
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    pty.Stop();
    std::printf("veska-sim: stopped (%s)\n", signal == SIGINT ? "SIGINT" : "SIGTERM");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::FILE* out = argc < 2 ? stderr : stdout;
        std::fputs(kUsage, out);
        std::fputs(veska::sim::FaultHelp().c_str(), out);
        return argc < 2 ? 2 : 0;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("veska-sim %s\n", VESKA_VERSION);
        return 0;
    }
    if (std::strcmp(argv[1], "bench") == 0) return RunBench(argc, argv);
    if (std::strcmp(argv[1], "sensor") != 0) {
        std::fprintf(stderr, "veska-sim: unknown device '%s'; see --help\n", argv[1]);
        return 2;
    }
    SensorCommand cmd;
    if (!ParseSensorOptions(argc, argv, 2, cmd)) return 2;
    return RunSensor(cmd);
}
