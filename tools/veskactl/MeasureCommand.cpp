#include <cstdint>
#include <cstdio>

#include "acquire/ValueLabel.h"
#include "link/Status.h"
#include "params/ParamCodings.h"
#include "tools/veskactl/Commands.h"
#include "tools/veskactl/Interrupt.h"
#include "tools/veskactl/Session.h"

namespace veska::tools {

namespace {

constexpr int32_t kMaxResults = 100000000;
constexpr int32_t kLineMode = 0;             ///< Mode of Run of a distance measurement
constexpr uint32_t kModeSwitchWaitMs = 100;  ///< the sensor settles into the new mode

}  // namespace

int RunMeasure(Session& session, const CommandArgs& args) {
    int32_t count = 0;
    if (!params::ParseInteger(args[0], count) || count < 1 || count > kMaxResults) {
        return session.Fail(kExitUsage, "measure: '" + args[0] + "' is not a count 1.." +
                                            std::to_string(kMaxResults));
    }
    if (const int code = session.Connect(); code != kExitOk) return code;
    if (const int code = session.ReadRow(params::kRowDivisor); code != kExitOk) return code;

    session.values.workValues[params::kRowModeOfRun] = kLineMode;
    session.device.SendParameter(params::kRowModeOfRun);
    if (session.device.LastSendStatus() != link::kStatusOk) {
        return session.LinkFailure("measure: setting Line mode", session.device.LastSendStatus());
    }
    session.clock.Sleep(kModeSwitchWaitMs);

    for (int32_t n = 0; n < count; ++n) {
        if (Interrupted()) return kExitInterrupted;  // each result is printed as it comes
        uint16_t raw = 0;
        const int32_t status = session.sensor.GetResult(session.conn.netAddress, raw);
        session.conn.Record(status);
        if (status != link::kStatusOk) {
            return session.LinkFailure("measure: result " + std::to_string(n + 1), status);
        }
        char line[64];
        std::snprintf(line, sizeof line, "%.3f\n",
                      static_cast<double>(acquire::ResultMillimetres(
                          raw, session.conn.measuringRange, session.conn.resultDivisor)));
        session.out << line << std::flush;
    }
    return kExitOk;
}

}  // namespace veska::tools
