#include "bench/MotionTiming.h"

#include "bench/StageMotion.h"

namespace veska::bench {

namespace {

constexpr int32_t kShortStageRange = 170;  ///< [mm] range of the short stage's period rule
constexpr uint32_t kHomingPeriodMicros = 2000;

}  // namespace

bool UsableRecord(const MotorTable& table, int record) {
    return record >= 0 && record < table.recordCount && record < MotorTable::kMaxRecords &&
           table.stepLength[record] > 0.0f && table.refusal[record].empty();
}

bool IsLastRecord(const MotorTable& table, int record) {
    return table.recordCount > 0 && record + 1 == table.recordCount;
}

MotionTiming ComputeMotionTiming(const MotorTable& table, int record, int32_t rangeMm) {
    MotionTiming t;
    t.stepPeriod = 0.002f;
    if (record == 0 && rangeMm > 0) {
        const int64_t span = kShortStageRange - rangeMm;
        const int64_t product = static_cast<int64_t>(rangeMm) * kShortStageRange;
        const long double period =
            static_cast<long double>(span) * 0.128L / static_cast<long double>(product) + 0.002L;
        t.stepPeriod = static_cast<float>(period);
    }
    if (IsLastRecord(table, record)) t.stepPeriod = 0.005f;
    t.stepPeriodMicros = static_cast<uint32_t>(static_cast<long double>(t.stepPeriod) * 1000000.0L);

    t.travelTime = 0.0f;
    t.encoderAveraging = 0;
    if (!UsableRecord(table, record)) return t;
    t.stepLength = table.stepLength[record];
    t.travelTime = static_cast<float>((static_cast<long double>(t.stepPeriod) + 0.001L) *
                                      static_cast<long double>(rangeMm) /
                                      static_cast<long double>(t.stepLength));
    if (t.travelTime < 45.0f) t.encoderAveraging = 1;
    if (t.travelTime < 30.0f) t.encoderAveraging = 2;
    if (t.travelTime < 15.0f) t.encoderAveraging = 3;
    return t;
}

uint32_t HomingPeriodMicros(const MotorTable& table, int record, const MotionTiming& timing) {
    return IsLastRecord(table, record) ? timing.stepPeriodMicros : kHomingPeriodMicros;
}

Positioning ComputePositioning(const MotorTable& table, int record, int32_t baseMm,
                               int32_t rangeMm) {
    Positioning p;
    if (!UsableRecord(table, record)) return p;
    const int64_t start = table.travelStart[record];
    const int64_t length = table.travelLength[record];
    if (!(rangeMm < length && start < baseMm)) return p;
    p.needed = true;
    p.distanceMm = (static_cast<int64_t>(baseMm) + rangeMm < start + length)
                       ? static_cast<double>(baseMm - start)
                       : static_cast<double>(length - rangeMm);
    const long double steps = static_cast<long double>(p.distanceMm) /
                                  static_cast<long double>(table.stepLength[record]) +
                              1.0L;
    p.steps = steps >= 16777215.0L ? 16777215u : static_cast<uint32_t>(steps);
    return p;
}

bool AtRest(MotorDrive& motor) {
    uint8_t nibble = 0xFF;
    return motor.ReadStatus(nibble) == link::kStatusOk && nibble == 0;
}

void StartHoming(MotorDrive& motor, platform::Clock& clock, uint32_t periodMicros, uint32_t count) {
    (void)motor.LoadMove(periodMicros, count);
    clock.Sleep(1);
    (void)motor.SetOutputs(1);
    clock.Sleep(1);
    (void)motor.StartHomeward();
}

void Settle(MotorDrive& motor, platform::Clock& clock) {
    clock.Sleep(1000);
    (void)motor.MaskOutputs(0);
    clock.Sleep(500);
    (void)motor.SetOutputs(1);
    clock.Sleep(500);
}

RestWait WaitForRestBounded(MotorDrive& motor, platform::Clock& clock, uint32_t boundMs,
                            uint32_t pollMs) {
    const MotorStatusRead read = [&motor](uint8_t& nibble) {
        return static_cast<int32_t>(motor.ReadStatus(nibble));
    };
    return WaitForRest(read, clock, boundMs, pollMs);
}

RestWait StopStage(MotorDrive& motor, platform::Clock& clock) {
    (void)motor.LoadMove(kHomingPeriodMicros, 0);
    (void)motor.MaskOutputs(0);
    return WaitForRestBounded(motor, clock, kStopBoundMs);
}

}  // namespace veska::bench
