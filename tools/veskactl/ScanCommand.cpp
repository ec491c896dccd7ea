#include "link/PortSelection.h"
#include "params/SensorScan.h"
#include "platform/SerialPort.h"
#include "tools/veskactl/Commands.h"
#include "tools/veskactl/Session.h"

namespace veska::tools {

namespace {

/// The ports a scan without --port tries: the machine's serial devices, then the COMn entries
/// of the port directory $VESKA_PORTS.
std::vector<std::string> ScanPortChoices() { return platform::ListSerialPorts(); }

std::string ChoiceOfPortName(const std::string& portName) {
    const std::string prefix = link::kPortPrefix;
    return portName.rfind(prefix, 0) == 0 ? portName.substr(prefix.size()) : portName;
}

}  // namespace

int RunScan(Session& session, const CommandArgs& /*args*/) {
    const std::vector<std::string> choices = session.options.portGiven
                                                 ? std::vector<std::string>{session.options.port}
                                                 : ScanPortChoices();
    if (choices.empty()) return session.Fail(kExitPort, "scan: no serial port to try");
    params::ScanPlan plan;
    for (const std::string& choice : choices) plan.portNames.push_back(PortNameOfChoice(choice));
    plan.firstBaud = session.options.baud;
    plan.firstAddress = session.options.address;

    params::SensorScan scan(session.clock);
    std::string lastPort;
    uint32_t lastBaud = 0;
    const size_t found = scan.Run(
        plan,
        [&session](const params::ScanHit& hit) {
            const link::DeviceInfo& info = hit.info;
            session.out << "port=" << ChoiceOfPortName(hit.portName) << " baud=" << hit.baud
                        << " address=" << int{hit.address} << " type=" << int{info.deviceType}
                        << " serial=" << info.serialNumber << " release=" << int{info.releaseNumber}
                        << " base=" << info.baseDistance << " range=" << info.measuringRange
                        << std::endl;
        },
        [&](const params::ScanProgress& where) {
            // One line per port and rate: the addresses of a rate go by in a few seconds.
            if (where.portName == lastPort && where.baud == lastBaud) return;
            lastPort = where.portName;
            lastBaud = where.baud;
            session.err << "veskactl: scan " << ChoiceOfPortName(where.portName) << " at "
                        << where.baud << " bit/s (" << where.done << " of " << where.total
                        << " tries)" << std::endl;
        });
    if (found == 0) return session.Fail(kExitLink, "scan: no sensor answered");
    return kExitOk;
}

}  // namespace veska::tools
