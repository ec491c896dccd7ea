// veskactl: command-line access to a VESKA sensor for scripts and production lines.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "params/ParamCodings.h"
#include "platform/D2xx.h"
#include "platform/SerialPort.h"
#include "sim/VirtualBench.h"
#include "simhost/ProgramBackends.h"
#include "tools/veskactl/Commands.h"
#include "tools/veskactl/Interrupt.h"
#include "tools/veskactl/Session.h"

namespace {

using veska::tools::Command;
using veska::tools::CommandTable;
using veska::tools::kExitOk;
using veska::tools::kExitUsage;
using veska::tools::Options;

void PrintHelp(std::ostream& out) {
    out << "Usage: veskactl [OPTIONS] COMMAND [ARGS]\n"
           "\n"
           "Talks to one VESKA laser distance sensor with the setup program's own logic.\n"
           "\n"
           "Options (before the command):\n"
           "  --port P        the sensor's port: COM1..COM32 (resolved through $VESKA_PORTS/COMn,\n"
           "                  else /dev/ttyS(n-1)), USB (the USB serial converter), USB_PELRIN\n"
           "                  (the USB adapter; its line is switched on first and left on), or a\n"
           "                  device path such as /dev/ttyUSB0. Default COM4.\n"
           "  --baud N        line rate [bit/s], 2400..921600. Default 115200.\n"
           "  --address A     the sensor's net address, 1..127. Default 1.\n"
           "  --language DIR  folder of Language.ini and the language files (message texts,\n"
           "                  parameter names, value words). Default: ./Language, else the\n"
           "                  installed one.\n"
           "  --motor-port P  the stage's motor controller (motor commands). Default COM2.\n"
           "  --encoder-port P  the reference encoder (encoder commands). Default COM7.\n"
           "  --yes           answer the program's confirmations with OK (store, overwriting a\n"
           "                  file); without it they are refused and the command fails.\n"
           "  --simulate      run on the in-process virtual bench: COM4 the simulated sensor,\n"
           "                  COM2 the motor controller, COM7 the encoder, the bench's USB\n"
           "                  devices and analog board.\n"
           "  --time-scale F  the virtual bench's speed (world time per real time, above 0,\n"
           "                  at most 1000). Default 1.\n"
           "  --sim-fault FAULT with --simulate: a fault of the virtual bench's devices,\n"
           "                  DEVICE:NAME[=VALUE][@N] (repeatable), e.g. encoder:silent,\n"
           "                  stage:vanish@200, sensor:slow=40, board:vanish. With @N it holds\n"
           "                  from the request after the Nth one of that device. Faults:\n"
        << veska::sim::FaultHelp()
        << "  --results URL   the results store: sqlite:PATH, or a PostgreSQL server by its\n"
           "                  libpq URI (postgresql://HOST/DB, postgresql:///DB?host=/run/pg),\n"
           "                  whose results wait in a local spool while it is away. Default:\n"
           "                  $XDG_DATA_HOME/veskacfg/results.sqlite.\n"
           "  --help          this text.\n"
           "  --version       the program's name and version.\n"
           "\n"
           "Commands:\n";
    for (const Command& command : CommandTable()) {
        out << "  " << command.name;
        if (*command.synopsis != '\0') out << ' ' << command.synopsis;
        out << '\n';
        std::string help = command.help;
        size_t start = 0;
        while (start < help.size()) {
            const size_t end = help.find('\n', start);
            out << "      " << help.substr(start, end - start) << '\n';
            if (end == std::string::npos) break;
            start = end + 1;
        }
    }
    out << "\n"
           "Messages of the program go to standard error; results to standard output.\n"
           "Exit codes: 0 done, 2 usage (or a confirmation refused), 3 the port did not open\n"
           "(board: no board, or it did not lock), 4 a sensor exchange failed (the line names\n"
           "the status; board: a reading failed; stream: the line fell silent), 5 a file or a\n"
           "text could not be written, read or converted, 6 a bench run did not complete\n"
           "(sequence: the unit was aborted), 7 a bench run or unit failed, 8 a bench run\n"
           "or unit ended in an error, 9 the results store could not be opened, read or\n"
           "written (results sync: results still wait), 130 SIGINT or SIGTERM ended the command "
           "(stream and measure stop as\n"
           "their own end would).\n";
}

int Usage(const std::string& text) {
    std::cerr << "veskactl: " << text << "\nTry 'veskactl --help'.\n";
    return kExitUsage;
}

bool ParseNumber(const std::string& text, int32_t minimum, int32_t maximum, int32_t& value) {
    return veska::params::ParseInteger(text, value) && value >= minimum && value <= maximum;
}

bool ParseScale(const std::string& text, double& scale) {
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, scale);
    return r.ec == std::errc() && r.ptr == end && std::isfinite(scale) && scale > 0.0 &&
           scale <= 1000.0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::vector<std::string> words(argv + 1, argv + argc);
    size_t w = 0;
    // Options end at the command name: what follows belongs to the command ("set 35 -5").
    for (; w < words.size() && words[w].rfind("-", 0) == 0; ++w) {
        std::string option = words[w];
        std::string value;
        bool hasValue = false;
        if (const size_t eq = option.find('=');
            option.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = option.substr(eq + 1);
            option = option.substr(0, eq);
            hasValue = true;
        }
        if (option == "--") {
            ++w;
            break;
        }
        if (option == "--help" || option == "-h") {
            PrintHelp(std::cout);
            return kExitOk;
        }
        if (option == "--version") {
            std::cout << "veskactl " << VESKA_VERSION << '\n';
            return kExitOk;
        }
        if (option == "--yes" || option == "-y") {
            options.yes = true;
            continue;
        }
        if (option == "--simulate") {
            options.simulate = true;
            continue;
        }
        if (option != "--port" && option != "--baud" && option != "--address" &&
            option != "--language" && option != "--motor-port" && option != "--encoder-port" &&
            option != "--time-scale" && option != "--sim-fault" && option != "--results") {
            return Usage("unknown option '" + words[w] + "'");
        }
        if (!hasValue) {
            if (w + 1 >= words.size()) return Usage(option + " needs a value");
            value = words[++w];
        }
        int32_t number = 0;
        if (option == "--port") {
            if (value.empty()) return Usage("--port needs a port name");
            options.port = value;
            options.portGiven = true;
        } else if (option == "--motor-port" || option == "--encoder-port") {
            if (value.empty()) return Usage(option + " needs a port name");
            (option == "--motor-port" ? options.motorPort : options.encoderPort) = value;
        } else if (option == "--sim-fault") {
            std::string error;
            const auto setting = veska::sim::ParseFault(value, &error);
            if (!setting) return Usage("bad --sim-fault: " + error);
            options.simFaults.push_back(*setting);
        } else if (option == "--results") {
            if (value.empty()) return Usage("--results needs a store URL");
            options.resultsUrl = value;
        } else if (option == "--time-scale") {
            if (!ParseScale(value, options.timeScale)) {
                return Usage("bad --time-scale '" + value + "' (above 0, at most 1000)");
            }
        } else if (option == "--baud") {
            if (!ParseNumber(value, 1, 4000000, number)) return Usage("bad --baud '" + value + "'");
            options.baud = static_cast<uint32_t>(number);
        } else if (option == "--address") {
            if (!ParseNumber(value, 1, 127, number)) {
                return Usage("bad --address '" + value + "' (1..127)");
            }
            options.address = static_cast<uint8_t>(number);
        } else {
            options.languageDir = value;
        }
    }
    if (w >= words.size()) return Usage("no command given");
    if (!options.simFaults.empty() && !options.simulate)
        return Usage("--sim-fault needs --simulate");
    const Command* command = veska::tools::FindCommand(words[w]);
    if (command == nullptr) return Usage("unknown command '" + words[w] + "'");
    const veska::tools::CommandArgs args(words.begin() + static_cast<long>(w) + 1, words.end());
    if (args.size() < command->minArgs || args.size() > command->maxArgs) {
        std::string synopsis = command->synopsis;
        return Usage(std::string("usage: veskactl [OPTIONS] ") + command->name +
                     (synopsis.empty() ? "" : " " + synopsis));
    }
    veska::tools::CatchInterrupts();
    // The devices are chosen once, here: the virtual bench's (its port folder and its USB
    // bus), or the port folder of VESKA_PORTS and the USB devices VESKA_USB names.
    const veska::platform::UsbChoice usb =
        veska::platform::ParseUsbChoice(std::getenv("VESKA_USB"));
    std::unique_ptr<veska::sim::VirtualBench> bench;
    if (options.simulate) {
        veska::sim::BenchOptions benchOptions;
        benchOptions.installUsbBackend = true;
        benchOptions.timeScale = options.timeScale;
        benchOptions.faults = options.simFaults;
        bench = std::make_unique<veska::sim::VirtualBench>(benchOptions);
        std::string error;
        if (!bench->Start(&error)) {
            std::cerr << "veskactl: the virtual bench did not start: " << error << '\n';
            return veska::tools::kExitPort;
        }
        veska::platform::SetPortDirectory(bench->PortDirectory());
    } else {
        const char* ports = std::getenv("VESKA_PORTS");
        veska::platform::SetPortDirectory(ports != nullptr ? ports : "");
    }
    veska::simhost::ChooseUsbDevices(usb, bench.get());
    veska::tools::Session session(options, std::cout, std::cerr);
    session.bench = bench.get();
    session.usb = usb;
    return command->run(session, args);
}
