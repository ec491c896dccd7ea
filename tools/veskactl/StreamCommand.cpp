// veskactl stream: the program's stream acquisition without a window.
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <thread>

#include "link/Status.h"
#include "main/NullMainView.h"
#include "main/ProgramState.h"
#include "main/StreamAcquisition.h"
#include "tools/veskactl/Commands.h"
#include "tools/veskactl/Session.h"

namespace veska::tools {

namespace {

constexpr double kMaxSeconds = 86400.0;  ///< one day [s]

bool ParseSeconds(const std::string& text, double& seconds) {
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, seconds);
    return r.ec == std::errc() && r.ptr == end && std::isfinite(seconds) && seconds > 0.0 &&
           seconds <= kMaxSeconds;
}

}  // namespace

int RunStream(Session& session, const CommandArgs& args) {
    double seconds = 0.0;
    if (!ParseSeconds(args[0], seconds)) {
        return session.Fail(kExitUsage, "stream: '" + args[0] +
                                            "' is not a duration in seconds "
                                            "(above 0, at most 86400)");
    }
    std::optional<std::string> outFile;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--out" && i + 1 < args.size()) {
            outFile = args[++i];
        } else if (args[i].rfind("--out=", 0) == 0 && args[i].size() > 6) {
            outFile = args[i].substr(6);
        } else {
            return session.Fail(kExitUsage, "stream: unexpected '" + args[i] + "'");
        }
    }

    if (const int code = session.Connect(); code != kExitOk) return code;
    // The divisor of the conversion, and the LAN mode that the stream switches off and
    // restores afterwards.
    for (int row : {params::kRowDivisor, params::kRowLanMode}) {
        if (const int code = session.ReadRow(row); code != kExitOk) return code;
    }

    // The program state of the stream, filled from the session's connection.
    main::ProgramState state;
    state.texts = session.texts;
    state.values = session.values;
    state.conn.netAddress = session.conn.netAddress;
    state.conn.deviceInfo = session.conn.deviceInfo;
    state.conn.deviceType = session.conn.deviceType;
    state.conn.baseDistance = session.conn.baseDistance;
    state.conn.measuringRange = session.conn.measuringRange;
    state.conn.resultDivisor = session.conn.resultDivisor;
    state.benchModeCode = main::kModeLine;

    main::NullMainView window;
    params::ParamTransfer transfer(
        params::ParamContext{session.sensor, state.conn, state.table, state.values, state.grid,
                             state.texts, session.view, session.clock, nullptr, nullptr});
    main::StreamAcquisition stream(state, window, session.sensor, transfer, session.clock);

    stream.Start();
    const int32_t startStatus = stream.StartStatus();
    const auto begin = std::chrono::steady_clock::now();
    if (startStatus == link::kStatusOk) {
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    }
    const std::chrono::duration<double> streamed = std::chrono::steady_clock::now() - begin;
    stream.Stop();
    if (startStatus != link::kStatusOk) return session.LinkFailure("stream: start", startStatus);

    const uint64_t samples = stream.SamplesReceived();
    const uint64_t lost = stream.FramingFailures() + stream.Gaps();
    const double rate = streamed.count() > 0 ? samples / streamed.count() : 0.0;
    char line[96];
    std::snprintf(line, sizeof line, "samples=%llu lost=%llu rate=%.1f/s\n",
                  static_cast<unsigned long long>(samples), static_cast<unsigned long long>(lost),
                  rate);
    session.out << line << std::flush;

    if (outFile) {
        std::string error;
        if (!state.samples.ExportToFile(*outFile, error)) {
            return session.Fail(kExitFile, "stream: cannot write '" + *outFile + "': " + error);
        }
    }
    if (samples == 0) return session.Fail(kExitLink, "stream: no sample received");
    return kExitOk;
}

}  // namespace veska::tools
