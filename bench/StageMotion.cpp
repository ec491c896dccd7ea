#include "bench/StageMotion.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "link/Status.h"

namespace veska::bench {

namespace {

uint32_t ClampMs(double ms) {
    if (!(ms >= 0.0)) return 0;
    return static_cast<uint32_t>(std::min(ms, double{std::numeric_limits<uint32_t>::max()}));
}

/// Steps of the record's whole travel; 0 for a record without a usable step length.
double TravelSteps(const MotorTable& table, int i) {
    if (table.stepLength[i] <= 0.0f || table.travelLength[i] <= 0) return 0.0;
    return std::ceil(table.travelLength[i] / double{table.stepLength[i]});
}

}  // namespace

std::string RestWait::Message() const {
    if (atRest) return {};
    char text[160];
    if (lost) {
        std::snprintf(text, sizeof text,
                      "the motor controller stopped answering: motor status %d (%s)",
                      static_cast<int>(lastStatus), link::StatusMeaning(lastStatus));
    } else if (lastStatus != link::kStatusOk) {
        std::snprintf(text, sizeof text, "the stage did not come to rest: motor status %d (%s)",
                      static_cast<int>(lastStatus), link::StatusMeaning(lastStatus));
    } else {
        std::snprintf(text, sizeof text,
                      "the stage did not come to rest: motor status 0, state nibble %u after %u ms",
                      static_cast<unsigned>(lastNibble), static_cast<unsigned>(elapsedMs));
    }
    return text;
}

uint32_t ForwardMoveBoundMs(uint32_t periodMicros, uint32_t count) {
    // The controller takes 24 bits of the count.
    const double steps = count & 0xFFFFFFu;
    return ClampMs(steps * periodMicros / 1000.0 + kRestMarginMs);
}

uint32_t HomingBoundMs(const MotorTable& table, int record, uint32_t periodMicros) {
    double steps = 0.0;
    if (record >= 0 && record < table.recordCount) steps = TravelSteps(table, record);
    if (steps == 0.0) {
        for (int i = 0; i < table.recordCount; ++i) steps = std::max(steps, TravelSteps(table, i));
    }
    if (steps == 0.0) return kUnknownStageHomingMs;
    return ClampMs(steps * periodMicros / 1000.0 + kRestMarginMs);
}

RestWait WaitForRest(const MotorStatusRead& read, platform::Clock& clock, uint32_t boundMs,
                     uint32_t pollMs) {
    RestWait wait;
    const uint32_t start = clock.TickCount();
    uint32_t failures = 0;
    for (;;) {
        uint8_t nibble = 0;
        wait.lastStatus = read(nibble);
        ++wait.polls;
        wait.elapsedMs = clock.TickCount() - start;
        if (wait.lastStatus == link::kStatusOk) {
            failures = 0;
            wait.lastNibble = nibble;
            if (nibble == 0) {
                wait.atRest = true;
                return wait;
            }
        } else if (++failures >= kRestReadFailures) {
            wait.lost = true;
            return wait;
        }
        if (wait.elapsedMs >= boundMs) return wait;
        clock.Sleep(pollMs);
    }
}

RestWait WaitForRest(link::TMotorInterface& motor, platform::Clock& clock, uint32_t boundMs,
                     uint32_t pollMs) {
    return WaitForRest([&motor](uint8_t& nibble) { return int32_t{motor.ReadMotorStatus(nibble)}; },
                       clock, boundMs, pollMs);
}

}  // namespace veska::bench
