#pragma once
#include <cstdint>

#include "bench/BenchDevices.h"
#include "bench/MotorTable.h"
#include "bench/StageMotion.h"
#include "platform/Clock.h"

namespace veska::bench {

/// The stage timing every run start computes from the sensor's range and its motor record.
struct MotionTiming {
    float stepPeriod = 0.002f;         ///< [s] per motor step of the bench moves
    uint32_t stepPeriodMicros = 2000;  ///< [us] stepPeriod truncated; the bench's LoadMove period
    float travelTime = 0.0f;           ///< [s] to travel the range; 0 when the record has no step
    int32_t encoderAveraging = 0;      ///< 0..3, extra smoothing of the encoder readings
    float stepLength = 0.0f;           ///< [mm] of the record; 0 when the table names none
};

/// True when record names a row of the table with a step length above 0.
bool UsableRecord(const MotorTable& table, int record);
/// True when record is the last row of the table (record + 1 == recordCount).
bool IsLastRecord(const MotorTable& table, int record);

/// The motion timing for a range [mm] on a record. A record without a step length leaves
/// travelTime 0 and encoderAveraging 0 (no division by a missing step).
MotionTiming ComputeMotionTiming(const MotorTable& table, int record, int32_t rangeMm);

/// The homing period [us]: stepPeriodMicros on the last record, else 2000.
uint32_t HomingPeriodMicros(const MotorTable& table, int record, const MotionTiming& timing);

/// The positioning move after homing.
struct Positioning {
    bool needed = false;
    double distanceMm = 0.0;  ///< [mm]
    uint32_t steps = 0;       ///< distance / stepLength + 1, truncated
};

/// The positioning move of a sensor (base and range [mm]) on a record; none when the
/// record is not usable.
Positioning ComputePositioning(const MotorTable& table, int record, int32_t baseMm,
                               int32_t rangeMm);

/// At rest: the status read succeeded and the state nibble is 0.
bool AtRest(MotorDrive& motor);

/// Homing: LoadMove(period, count); 1 ms; SetOutputs(1); 1 ms; StartHomeward.
void StartHoming(MotorDrive& motor, platform::Clock& clock, uint32_t periodMicros, uint32_t count);
/// Settling after homing: 1000 ms; MaskOutputs(0); 500 ms; SetOutputs(1); 500 ms.
void Settle(MotorDrive& motor, platform::Clock& clock);

/// A bounded wait for rest on a bench motor drive, polling every pollMs [ms] (10 by
/// default); atRest when at rest, lost when the controller stopped answering.
RestWait WaitForRestBounded(MotorDrive& motor, platform::Clock& clock, uint32_t boundMs,
                            uint32_t pollMs = 10);

/// The bound of the wait for rest after a stop [ms]: a count of 0 ends a move at its next
/// step, so only the controller's reaction and the polls remain.
inline constexpr uint32_t kStopBoundMs = kRestMarginMs;
/// Ends a move under way as the controller allows, which has no stop command: a count of 0
/// loaded (a running move makes no more steps), every output off, then a wait for rest
/// bounded by kStopBoundMs. The wait says whether the stage is at rest.
RestWait StopStage(MotorDrive& motor, platform::Clock& clock);

}  // namespace veska::bench
