// veskactl encoder: service commands of the reference encoder.
#include <cstdio>
#include <string>

#include "link/DunelInterface.h"
#include "link/PortSelection.h"
#include "link/Status.h"
#include "params/ParamCodings.h"
#include "tools/veskactl/Commands.h"
#include "tools/veskactl/Session.h"

namespace veska::tools {

namespace {

constexpr int32_t kMinRate = 2400;    ///< [bit/s] one unit of the rate parameter
constexpr int32_t kMaxRate = 921600;  ///< [bit/s]

/// OpenEncoderPort as a run start does, for a sensor range of 0 (any encoder passes); an
/// exit code.
int OpenEncoder(Session& session, link::TDUNELInterface& encoder, link::EncoderState& state) {
    if (link::OpenEncoderPort(encoder, state, session.options.encoderPort, 0)) return kExitOk;
    const link::Status s = state.identifyStatus;
    return session.LinkFailure("encoder on '" + session.options.encoderPort + "' at " +
                                   std::to_string(state.lineRate) + " bit/s: identify",
                               s != link::kStatusOk ? s : link::kStatusEncoderCheck);
}

/// The encoder may run at any listed rate from an earlier run: the switch to rate is sent
/// at each of them before the program's own sequence runs.
void SwitchFromAnyRate(Session& session, link::TDUNELInterface& encoder, uint32_t rate) {
    const link::PortChoice port = link::MapBenchPort(session.options.encoderPort);
    const uint8_t code = static_cast<uint8_t>((rate / kMinRate) & 0xFF);
    for (const uint32_t from : {230400u, 460800u, 921600u, 57600u, 38400u, 19200u, 9600u}) {
        if (from == rate) continue;
        if (encoder.OpenPort(port.portMode, port.deviceName, from) != link::kStatusOk) return;
        static_cast<void>(
            encoder.WriteParam(link::kEncoderAddress, link::kEncoderRateParam, 1, &code));
    }
    static_cast<void>(encoder.ClosePort());
}

void PrintIdentity(Session& session, const link::EncoderState& state) {
    const auto& id = state.identity;
    session.out << "type=" << int{id[0]} << " release=" << int{id[1]}
                << " serial=" << (id[2] | id[3] << 8)
                << " range=" << link::EncoderRangeMicrometres(id) << "um rate=" << state.lineRate
                << '\n';
}

}  // namespace

int RunEncoder(Session& session, const CommandArgs& args) {
    const std::string& verb = args[0];
    link::EncoderState state;
    if (verb == "rate") {
        int32_t rate = 0;
        if (args.size() != 2 || !params::ParseInteger(args[1], rate) || rate < kMinRate ||
            rate > kMaxRate) {
            return session.Fail(kExitUsage, "encoder: rate needs a line rate 2400..921600 bit/s");
        }
        state.lineRate = static_cast<uint32_t>(rate);
    } else if ((verb != "identify" && verb != "position") || args.size() != 1) {
        return session.Fail(kExitUsage,
                            "encoder: '" + verb + "' is not identify, position or rate N");
    }
    link::TDUNELInterface encoder(session.clock);
    if (verb == "rate") SwitchFromAnyRate(session, encoder, state.lineRate);
    if (const int code = OpenEncoder(session, encoder, state); code != kExitOk) return code;
    if (verb != "position") {
        PrintIdentity(session, state);
        return kExitOk;
    }
    int32_t count = 0;
    const link::Status status = encoder.GetResult(state.address, count);
    if (status != link::kStatusOk) return session.LinkFailure("encoder position", status);
    char text[64];
    std::snprintf(text, sizeof text, "position=%.4f mm count=%d\n",
                  static_cast<double>(static_cast<float>(count * 0.0001)), static_cast<int>(count));
    session.out << text;
    return kExitOk;
}

}  // namespace veska::tools
