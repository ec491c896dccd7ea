// veskactl motor: service commands of the stage's motor controller.
#include <charconv>
#include <cstdio>
#include <string>

#include "bench/MotorTable.h"
#include "bench/StageMotion.h"
#include "link/MotorInterface.h"
#include "link/Status.h"
#include "tools/veskactl/Commands.h"
#include "tools/veskactl/Session.h"

namespace veska::tools {

namespace {

constexpr uint32_t kDefaultPeriod = 2000;  ///< [us] the bench's homing and stepping period
constexpr uint32_t kHomingCount = 8500;    ///< the count the bench loads before homing
constexpr uint32_t kMax24 = 0xFFFFFF;      ///< the controller takes 24 bits

/// A whole number 0..maximum, decimal or 0x hexadecimal.
bool ParseUnsigned(const std::string& text, uint32_t maximum, uint32_t& value) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* begin = text.data() + (hex ? 2 : 0);
    const char* end = text.data() + text.size();
    uint64_t v = 0;
    const auto r = std::from_chars(begin, end, v, hex ? 16 : 10);
    if (r.ec != std::errc() || r.ptr != end || begin == end || v > maximum) return false;
    value = static_cast<uint32_t>(v);
    return true;
}

std::string Seconds(uint32_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", ms / 1000.0);
    return text;
}

/// Opens the motor port as the bench does; an exit code.
int OpenMotor(Session& session, link::TMotorInterface& motor) {
    const link::Status status =
        link::OpenMotorPort(motor, session.options.motorPort, session.clock);
    if (status == link::kStatusOk) return kExitOk;
    return session.Fail(kExitPort, "cannot open the motor port '" + session.options.motorPort +
                                       "': status " + std::to_string(status) + " (" +
                                       link::StatusMeaning(status) + ")");
}

/// Period option of home and forward: "--period US" (default 2000 us).
bool ParsePeriod(const CommandArgs& args, size_t first, uint32_t& period, std::string& problem) {
    period = kDefaultPeriod;
    for (size_t i = first; i < args.size(); ++i) {
        std::string value;
        if (args[i] == "--period" && i + 1 < args.size()) {
            value = args[++i];
        } else if (args[i].rfind("--period=", 0) == 0) {
            value = args[i].substr(9);
        } else {
            problem = "unexpected '" + args[i] + "'";
            return false;
        }
        if (!ParseUnsigned(value, kMax24, period) || period == 0) {
            problem = "'" + value + "' is not a step period 1..16777215 us";
            return false;
        }
    }
    return true;
}

/// Outputs 1, the start command, then the bounded wait; prints the time the move took.
int RunMove(Session& session, link::TMotorInterface& motor, bool homeward, uint32_t boundMs,
            const std::string& what) {
    if (const link::Status s = motor.SetOutputs(link::kMotorOutputMove); s != link::kStatusOk)
        return session.LinkFailure("motor " + what + ": outputs", s);
    const link::Status started = homeward ? motor.StartHomeward() : motor.StartForward();
    if (started != link::kStatusOk)
        return session.LinkFailure("motor " + what + ": start", started);
    const bench::RestWait wait = bench::WaitForRest(motor, session.clock, boundMs);
    if (!wait.atRest) return session.Fail(kExitLink, "motor " + what + ": " + wait.Message());
    session.out << what << ": at rest after " << Seconds(wait.elapsedMs) << '\n';
    return kExitOk;
}

int MotorStatus(Session& session, link::TMotorInterface& motor) {
    uint8_t nibble = 0;
    const link::Status status = motor.ReadMotorStatus(nibble);
    if (status != link::kStatusOk) return session.LinkFailure("motor status", status);
    session.out << "state=" << int{nibble} << (nibble == 0 ? " at-rest" : " moving") << '\n';
    return kExitOk;
}

}  // namespace

int RunMotor(Session& session, const CommandArgs& args) {
    const std::string& verb = args[0];
    auto usage = [&](const std::string& text) {
        return session.Fail(kExitUsage, "motor: " + text);
    };
    uint32_t a = 0;
    uint32_t b = 0;
    uint32_t period = kDefaultPeriod;
    std::string problem;
    if (verb == "status") {
        if (args.size() != 1) return usage("status takes no arguments");
    } else if (verb == "home") {
        if (!ParsePeriod(args, 1, period, problem)) return usage("home: " + problem);
    } else if (verb == "forward") {
        if (args.size() < 2 || !ParseUnsigned(args[1], kMax24, a))
            return usage("forward needs a step count 0..16777215");
        if (!ParsePeriod(args, 2, period, problem)) return usage("forward: " + problem);
    } else if (verb == "load") {
        if (args.size() != 3 || !ParseUnsigned(args[1], UINT32_MAX, a) ||
            !ParseUnsigned(args[2], UINT32_MAX, b))
            return usage("load needs PERIOD [us] and COUNT [steps]");
    } else if (verb == "outputs" || verb == "mask") {
        if (args.size() != 2 || !ParseUnsigned(args[1], 0xFFFF, a))
            return usage(verb + " needs a MASK 0..0xFFFF");
    } else {
        return usage("unknown '" + verb + "' (status, home, forward, load, outputs, mask)");
    }

    link::TMotorInterface motor;
    if (const int code = OpenMotor(session, motor); code != kExitOk) return code;
    if (verb == "status") return MotorStatus(session, motor);
    if (verb == "home" || verb == "forward") {
        const bool home = verb == "home";
        const link::Status loaded = motor.LoadMove(period, home ? kHomingCount : a);
        if (loaded != link::kStatusOk)
            return session.LinkFailure("motor " + verb + ": load", loaded);
        session.clock.Sleep(1);
        uint32_t boundMs = 0;
        if (home) {
            const bench::MotorTable table = bench::LoadMotorTable(bench::FindMotorTableFile());
            boundMs = bench::HomingBoundMs(table, -1, period);
        } else {
            boundMs = bench::ForwardMoveBoundMs(period, a);
        }
        return RunMove(session, motor, home, boundMs,
                       home ? std::string("home") : "forward " + std::to_string(a) + " steps");
    }
    link::Status status = link::kStatusOk;
    if (verb == "load") {
        status = motor.LoadMove(a, b);
    } else if (verb == "outputs") {
        status = motor.SetOutputs(static_cast<uint16_t>(a));
    } else {
        status = motor.MaskOutputs(static_cast<uint16_t>(a));
    }
    if (status != link::kStatusOk) return session.LinkFailure("motor " + verb, status);
    session.out << verb << ": sent" << '\n';
    return kExitOk;
}

}  // namespace veska::tools
