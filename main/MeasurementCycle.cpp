#include "main/MeasurementCycle.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "link/Status.h"
#include "main/SensorIdentity.h"
#include "main/StreamAcquisition.h"

namespace veska::main {

namespace {

constexpr uint32_t kModeWaitMs = 100;     ///< after "Mode of Run" at run start [ms]
constexpr uint32_t kMotorWaitMs = 10;     ///< before each motor mask at run stop [ms]
constexpr double kHighPointMm = 1800.0;   ///< first-tick reference point for long ranges [mm]
constexpr uint8_t kLongProfileType = 65;  ///< device type with a profile read in Pulse modes

bool IsBenchMode(int32_t mode) { return mode >= kModePulse && mode <= kModeLaserAdjustment; }

bool ReadsProfile(int32_t mode) {
    return mode == kModePulse || mode == kModeHomePulse || mode == kModeEndPulse;
}

}  // namespace

std::string FormatFixedPrecision(double value, int precision, int decimals) {
    if (!std::isfinite(value)) return std::isnan(value) ? "NAN" : (value > 0 ? "INF" : "-INF");
    char buffer[96];
    auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific,
                           precision - 1);
    double rounded = 0.0;
    std::from_chars(buffer, r.ptr, rounded);
    if (rounded != 0.0 && std::fabs(rounded) >= std::pow(10.0, precision)) {
        return std::string(buffer, r.ptr);
    }
    r = std::to_chars(buffer, buffer + sizeof buffer, rounded, std::chars_format::fixed, decimals);
    std::string text(buffer, r.ptr);
    if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
    return text;
}

MeasurementCycle::MeasurementCycle(ProgramState& state, MainView& view,
                                   link::TMORLAInterface& sensor, params::ParamTransfer& params,
                                   platform::Clock& clock, BenchHooks& bench,
                                   StreamAcquisition& stream)
    : state_(state),
      view_(view),
      sensor_(sensor),
      params_(params),
      clock_(clock),
      bench_(bench),
      stream_(stream) {}

void MeasurementCycle::ToggleMeasure() {
    if (running_) {
        Stop();
    } else {
        Start();
    }
}

void MeasurementCycle::IdentifyForRun() {
    if (refreshIdentity) {
        refreshIdentity();
        return;
    }
    RefreshIdentity(sensor_, state_, view_);
}

void MeasurementCycle::SendModeOfRun(int32_t value) {
    state_.values.workValues[params::kRowModeOfRun] = value;
    params_.SendParameter(params::kRowModeOfRun);
}

void MeasurementCycle::Start() {
    IdentifyForRun();
    const int32_t mode = state_.benchModeCode;
    state_.measureMode.store(mode);
    resultMin = 65535.0f;
    resultMax = 0.0f;
    view_.SetTimerInterval(Timer::TimerMain, 1);

    view_.ChartClear();
    view_.ChartSetTitle("", false);
    view_.ChartSetAxisTitles("", "");
    view_.ChartSetFoot("");

    view_.SetText(Control::ButtonMeasure, state_.texts.Button(12));
    view_.SetEnabled(Control::ButtonConnect, false);
    view_.SetEnabled(Control::ButtonStream, false);
    view_.SetEnabled(Control::TrackBarLaser, false);
    view_.SetEnabled(Control::ValueListEditorParam, false);

    state_.samples.ClearValues();
    std::fill(encoderBuffer.begin(), encoderBuffer.end(), 0.0f);

    firstTickPending = true;
    if (!state_.xAutoScale) view_.SetBottomAxisRange(0.0, 25.0);

    state_.samples.Reset();
    pointNumber = 0;
    state_.currentValue.store(0.0f);

    // The bench timing is computed in every mode; without a fitting motor record the bench
    // keeps its previous timing and the plain modes do not use it.
    bench_.ComputeMotionTiming();

    view_.SetBottomAxisAutomatic(state_.xAutoScale);
    view_.SetLeftAxisAutomatic(state_.yAutoScale);
    if (!state_.yAutoScale) view_.SetLeftAxisRange(0.0, state_.conn.measuringRange);

    switch (mode) {
        case kModeLine:
            SendModeOfRun(0);
            clock_.Sleep(kModeWaitMs);
            state_.encoderPresent = bench_.OpenEncoderPort();
            bench_.StartSweep();
            break;
        case kModeNonline:
            SendModeOfRun(1);
            clock_.Sleep(kModeWaitMs);
            bench_.StartSweep();
            break;
        case kModeTemperature:
            SendModeOfRun(2);
            clock_.Sleep(kModeWaitMs);
            break;
        default:
            if (mode >= kModePulse && mode < kModeLaserAdjustment) bench_.StartSteps(mode);
            break;
    }

    view_.SetEnabled(Control::RadioGroupMode, false);
    tickPhase = 0;
    view_.SetTimerEnabled(Timer::TimerMain, true);
    running_ = true;
}

void MeasurementCycle::Stop() {
    view_.SetTimerEnabled(Timer::TimerMain, false);
    view_.SetText(Control::ButtonMeasure, state_.texts.Button(1));
    view_.SetEnabled(Control::ButtonConnect, true);
    view_.SetEnabled(Control::ButtonStream, true);
    view_.SetEnabled(Control::ButtonZero, true);
    view_.SetEnabled(Control::TrackBarLaser, true);

    // A bench mode may have left its stream running.
    if (stream_.Running()) stream_.StopForTeardown();

    SendModeOfRun(0);

    clock_.Sleep(kMotorWaitMs);
    bench_.MaskMotorOutputs(0);
    clock_.Sleep(kMotorWaitMs);
    bench_.MaskMotorOutputs(0);

    const int32_t mode = state_.measureMode.load();
    if (IsBenchMode(mode)) bench_.StopSteps(mode);

    view_.SetTimerInterval(Timer::TimerMain, 1);
    view_.SetEnabled(Control::RadioGroupMode, true);
    bench_.CloseMotorPort();
    bench_.CloseEncoderPort();
    bench_.StopBoard();
    view_.SetEnabled(Control::ValueListEditorParam, true);
    running_ = false;
}

void MeasurementCycle::AbandonRun() {
    if (!running_) return;
    view_.SetTimerEnabled(Timer::TimerMain, false);
    view_.SetEnabled(Control::TrackBarLaser, true);
    view_.SetEnabled(Control::RadioGroupMode, true);
    view_.SetEnabled(Control::ValueListEditorParam, true);
    bench_.CloseMotorPort();
    bench_.CloseEncoderPort();
    bench_.StopBoard();
    running_ = false;
}

void MeasurementCycle::TimerMainTimer() {
    if (!running_) return;  // a tick queued before the stop
    view_.SetTimerEnabled(Timer::TimerMain, false);

    const int32_t mode = state_.measureMode.load();
    bool stoppedItself = false;
    if (mode == kModeLine || mode == kModeNonline || mode == kModeTemperature) {
        StepPlain(mode);
    } else if (IsBenchMode(mode)) {
        stoppedItself = bench_.TickStep(mode);
    }

    view_.ChartRepaint();
    firstTickPending = false;

    if (!stoppedItself && running_) view_.SetTimerEnabled(Timer::TimerMain, true);
}

void MeasurementCycle::StepPlain(int32_t mode) {
    if (FetchResult()) {
        const float value = state_.currentValue.load();
        state_.samples.AppendOnePast(value);

        double shown = value;
        std::string text;
        if (mode == kModeLine) {
            shown = static_cast<double>(value) - static_cast<double>(state_.zeroOffset.load());
            text = FormatFixed(shown, 3) + " mm";
        } else {
            text = FormatFixed(shown, 0) + (mode == kModeNonline ? " px" : " cl");
        }
        view_.SetText(Control::LabelRast, text);

        if (value > kHighPointMm && firstTickPending) {
            view_.ChartAddPoint(kHighPointMm, "0", PointColour::SeriesDefault);
        }
        view_.ChartAddPoint(shown, std::to_string(pointNumber), PointColour::Red);
        ++pointNumber;
    }
    if (mode == kModeTemperature) return;
    ReadEncoderPosition();
    bench_.UpdateBoardReading(true);
}

void MeasurementCycle::ReadProfile() {
    auto& conn = state_.conn;
    const bool longProfile = conn.deviceType == kLongProfileType;
    // Two bytes per pixel; a length the video area cannot hold is refused by the link.
    const int64_t lengthCcd = state_.values.workValues[params::kRowLengthCcd];
    const int64_t requested = longProfile ? 2 * std::clamp<int64_t>(lengthCcd, 0, 0x7FFF) : 0;
    const auto n = static_cast<uint16_t>(requested);
    const int32_t status = sensor_.ReadVideo(conn.netAddress, n, profileCopy.data());
    conn.linkStatus.store(status);
    if (status != link::kStatusOk) return;

    view_.ChartClear();
    if (longProfile) {
        const int pixels = std::min<int>(n / 2, kProfileEntries);
        for (int i = 0; i < pixels; ++i) {
            const int32_t v = profileCopy[2 * i] + 256 * profileCopy[2 * i + 1];
            view_.ChartAddPoint(v, std::to_string(i), PointColour::Red);
            if (captureProfile) {
                profileSamples[i] = v;
                profileLast = i;
            }
        }
    }
    captureProfile = false;
}

void MeasurementCycle::ShowRunExtremes() {
    view_.SetText(Control::LabelEncoder, FormatFixedPrecision(resultMax, 8, 4));
    view_.SetText(Control::LabeldMORLA_Encoder, FormatFixedPrecision(resultMin, 8, 4));
}

bool MeasurementCycle::FetchResult() {
    auto& conn = state_.conn;
    const int32_t mode = state_.measureMode.load();
    bool ok = true;

    if (ReadsProfile(mode)) ReadProfile();

    if (mode != kModePulse) {
        uint16_t raw = 0;
        const int32_t status = sensor_.GetResult(conn.netAddress, raw);
        conn.linkStatus.store(status);
        if (status == link::kStatusOk) {
            float value = state_.currentValue.load();
            switch (mode) {
                case kModeLine:
                case kModePoverka: {
                    const long double divisor = conn.resultDivisor == 0 ? 1 : conn.resultDivisor;
                    value = static_cast<float>(static_cast<long double>(raw) * conn.measuringRange /
                                               divisor);
                    break;
                }
                case kModeNonline:
                case kModeCalibration:
                case kModeTemperature:
                    value = raw;
                    break;
                default:
                    break;
            }
            state_.currentValue.store(value);
            if (!state_.encoderPresent) {
                resultMax = std::max(resultMax, value);
                resultMin = std::min(resultMin, value);
                ShowRunExtremes();
            }
            resultRetryBudget = kRetryBudget;
        } else if (resultRetryBudget > 0) {
            --resultRetryBudget;
            conn.linkStatus.store(link::kStatusOk);
        } else {
            ok = false;
        }
    }

    conn.answerStatus.store(conn.linkStatus.load());
    return ok;
}

bool MeasurementCycle::ReadEncoderPosition() {
    if (!state_.encoderPresent) return false;
    float position = 0.0f;
    if (!bench_.ReadEncoderPosition(position)) return false;
    encoderPosition = position;
    view_.SetText(Control::LabelEncoder, FormatFixedPrecision(encoderPosition, 8, 4) + " mm");
    const double difference =
        static_cast<double>(state_.currentValue.load()) - static_cast<double>(encoderPosition);
    view_.SetText(Control::LabeldMORLA_Encoder, FormatFixedPrecision(difference, 8, 4) + " mm");
    return true;
}

}  // namespace veska::main
