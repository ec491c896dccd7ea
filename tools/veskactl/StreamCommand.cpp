// veskactl stream: the program's stream acquisition without a window.
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <thread>

#include <atomic>

#include "acquire/SampleStream.h"
#include "link/Status.h"
#include "tools/veskactl/Commands.h"
#include "tools/veskactl/Session.h"

namespace veska::tools {

namespace {

constexpr double kMaxSeconds = 86400.0;  ///< one day [s]
constexpr int32_t kLineModeOfRun = 0;    ///< the stream reads distances

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

    // The stream's share of the program state, here the command's own.
    acquire::SampleBuffer samples;
    std::atomic<float> currentValue{0.0f};
    std::atomic<float> zeroOffset{0.0f};
    std::atomic<bool> running{false};
    acquire::SampleStream stream(session.device,
                                 acquire::StreamShared{samples, currentValue, zeroOffset, running});

    acquire::PrepareSensorForStream(session.device, kLineModeOfRun);
    session.conn.previousAnswerStatus = 0;
    const link::Status startStatus = stream.Start(acquire::StreamSetup{});
    const auto begin = std::chrono::steady_clock::now();
    if (startStatus == link::kStatusOk) {
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    }
    const std::chrono::duration<double> streamed = std::chrono::steady_clock::now() - begin;
    stream.Stop(2);
    acquire::RestoreSensorAfterStream(session.device);
    if (startStatus != link::kStatusOk) return session.LinkFailure("stream: start", startStatus);

    const acquire::StreamCounters counters = stream.Counters();
    const uint64_t received = counters.received;
    const uint64_t lost = counters.framing + counters.gaps;
    const double rate = streamed.count() > 0 ? received / streamed.count() : 0.0;
    char line[96];
    std::snprintf(line, sizeof line, "samples=%llu lost=%llu rate=%.1f/s\n",
                  static_cast<unsigned long long>(received), static_cast<unsigned long long>(lost),
                  rate);
    session.out << line << std::flush;

    if (outFile) {
        std::string error;
        if (!samples.ExportToFile(*outFile, error)) {
            return session.Fail(kExitFile, "stream: cannot write '" + *outFile + "': " + error);
        }
    }
    if (received == 0) return session.Fail(kExitLink, "stream: no sample received");
    return kExitOk;
}

}  // namespace veska::tools
