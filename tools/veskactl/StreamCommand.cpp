// veskactl stream: the program's stream acquisition without a window.
#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>

#include <sys/stat.h>

#include "acquire/SampleStream.h"
#include "link/Status.h"
#include "tools/veskactl/Commands.h"
#include "tools/veskactl/Interrupt.h"
#include "tools/veskactl/Session.h"

namespace veska::tools {

namespace {

constexpr double kMaxSeconds = 86400.0;  ///< one day [s]
constexpr int32_t kLineModeOfRun = 0;    ///< the stream reads distances
constexpr int kStallMs = 3000;           ///< [ms] without a sample: the sensor is gone or silent
constexpr int kPollMs = 100;             ///< [ms] between two looks at the counters

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
    // An existing file is replaced only when asked to (a device or FIFO is written into).
    struct stat existing {};
    if (outFile && !session.options.yes && ::stat(outFile->c_str(), &existing) == 0 &&
        S_ISREG(existing.st_mode)) {
        return session.Fail(kExitUsage,
                            "stream: '" + *outFile + "' exists; give --yes to replace it");
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
    using SteadyClock = std::chrono::steady_clock;
    const SteadyClock::time_point begin = SteadyClock::now();
    const SteadyClock::time_point end = begin + std::chrono::duration_cast<SteadyClock::duration>(
                                                    std::chrono::duration<double>(seconds));
    SteadyClock::time_point lastSample = begin;
    uint64_t seen = 0;
    bool stalled = false;
    if (startStatus == link::kStatusOk) {
        // Watch the line: a sensor that vanished or went quiet ends the stream short.
        while (!Interrupted()) {
            const SteadyClock::time_point now = SteadyClock::now();
            const uint64_t received = stream.Counters().received;
            if (received != seen) {
                seen = received;
                lastSample = now;
            }
            if (now - lastSample >= std::chrono::milliseconds(kStallMs)) {
                stalled = true;
                break;
            }
            if (now >= end) break;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now);
            WaitUnlessInterrupted(static_cast<int>(std::min<int64_t>(left.count() + 1, kPollMs)));
        }
    }
    const SteadyClock::time_point stopped = SteadyClock::now();
    const std::chrono::duration<double> streamed = stopped - begin;
    stream.Stop(2);
    acquire::RestoreSensorAfterStream(session.device);
    if (startStatus != link::kStatusOk) return session.LinkFailure("stream: start", startStatus);

    const acquire::StreamCounters counters = stream.Counters();
    const uint64_t received = counters.received;
    if (received != seen) lastSample = stopped;
    const double silent = std::chrono::duration<double>(stopped - lastSample).count();
    const bool endedShort = stalled || (counters.failures > counters.framing + counters.gaps);
    const double rate = streamed.count() > 0 ? received / streamed.count() : 0.0;
    char line[160];
    int used = std::snprintf(line, sizeof line, "samples=%llu lost=%llu rate=%.1f/s",
                             static_cast<unsigned long long>(received),
                             static_cast<unsigned long long>(counters.failures), rate);
    if (endedShort) {
        std::snprintf(line + used, sizeof line - used, " silent=%.1fs ended-short", silent);
    } else if (Interrupted()) {
        std::snprintf(line + used, sizeof line - used, " interrupted");
    }
    session.out << line << '\n' << std::flush;

    if (outFile && received > 0) {
        std::string error;
        if (!samples.ExportToFile(*outFile, error)) {
            return session.Fail(kExitFile, "stream: cannot write '" + *outFile + "': " + error);
        }
    }
    if (received == 0) {
        // A stop that came before the first sample is the operator's, not the line's.
        if (Interrupted() && !stalled) {
            return session.Fail(kExitInterrupted, "stream: interrupted before a sample came");
        }
        return session.Fail(kExitLink, "stream: no sample received");
    }
    if (endedShort) {
        return session.Fail(kExitLink, "stream: the line fell silent after " +
                                           std::to_string(received) + " samples");
    }
    if (Interrupted()) return kExitInterrupted;
    return kExitOk;
}

}  // namespace veska::tools
