#pragma once
// A run frame for the bench modes' unit tests: scripted motor and encoder, a recording
// view, a fake clock, and results from a list instead of a sensor.
#include <algorithm>
#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "bench/RunFrame.h"
#include "lang/Language.h"
#include "params/ParamView.h"
#include "params/SensorSession.h"
#include "platform/Clock.h"

namespace veska::testing {

class ScriptedMotor final : public bench::MotorDrive {
  public:
    void SetPortChoice(const std::string& c) override { choice = c; }
    const std::string& PortChoice() const override { return choice; }
    link::Status Open() override { return Log("Open"); }
    link::Status LoadMove(uint32_t period, uint32_t count) override {
        return Log("LoadMove " + std::to_string(period) + " " + std::to_string(count));
    }
    link::Status StartHomeward() override {
        busy = busyPollsPerMove;
        return Log("StartHomeward");
    }
    link::Status StartForward() override {
        busy = busyPollsPerMove;
        return Log("StartForward");
    }
    link::Status SetOutputs(uint16_t m) override { return Log("SetOutputs " + std::to_string(m)); }
    link::Status MaskOutputs(uint16_t m) override {
        return Log("MaskOutputs " + std::to_string(m));
    }
    link::Status ReadStatus(uint8_t& nibble) override {
        ++statusReads;
        if (busy > 0 || neverAtRest) {
            if (busy > 0) --busy;
            nibble = 1;
        } else {
            nibble = 0;
        }
        return link::kStatusOk;
    }
    link::Status LastStatus() const override { return link::kStatusOk; }
    void Close() override {}

    link::Status Log(const std::string& call) {
        calls.push_back(call);
        return link::kStatusOk;
    }
    size_t Count(const std::string& prefix) const {
        size_t n = 0;
        for (const auto& c : calls) n += c.rfind(prefix, 0) == 0 ? 1 : 0;
        return n;
    }

    std::string choice = "COM2";
    std::vector<std::string> calls;
    int busyPollsPerMove = 0;  ///< status polls that report a move after each start
    int busy = 0;
    bool neverAtRest = false;
    int statusReads = 0;
};

class ScriptedEncoder final : public bench::EncoderReader {
  public:
    void SetPortChoice(const std::string&) override {}
    void SetLineRate(uint32_t) override {}
    bool Open(int32_t) override { return present; }
    bool ReadPositionMm(float& mm) override {
        ++reads;
        mm = follow ? follow() : position;
        return present;
    }
    void Close() override {}
    bool present = true;
    float position = 1.0f;
    /// When set, the position the stage has reached (an encoder that follows the stage).
    std::function<float()> follow;
    int reads = 0;
};

/// No board by default; with present set, a board whose recording is scripted.
class IdleBoard final : public bench::AnalogBoard {
  public:
    bool Open() override { return present; }
    void StartSweep() override { ++sweeps; }
    bool UpdateReading(bool, bench::RunView&) override { return false; }
    void Stop() override {}
    void Close() override {}
    bool Present() const override { return present; }
    bool StartLive() override {
        ++lives;
        return present;
    }
    uint32_t ReadAll(std::span<uint8_t> buffer) override {
        ++readAlls;
        const size_t n = present ? std::min(buffer.size(), recording.size()) : 0;
        std::copy_n(recording.begin(), n, buffer.begin());
        return static_cast<uint32_t>(n);
    }
    float Gain() const override { return present ? gain : 0.0f; }
    uint16_t Offset() const override { return present ? offset : 0; }

    bool present = false;
    std::vector<uint8_t> recording;  ///< what ReadAll hands over
    float gain = 0.0f;
    uint16_t offset = 0;
    int sweeps = 0;
    int lives = 0;  ///< StartLive calls
    int readAlls = 0;
};

class RecordingRunView final : public bench::RunView {
  public:
    void ShowValue(const std::string& t) override { value = t; }
    void ShowReadout(bench::Readout which, const std::string& t) override { readouts[which] = t; }
    void ShowProgress(int) override {}
    void ChartClear() override { points.clear(); }
    void ChartAddPoint(double y, const std::string& label, bench::PointColour) override {
        points.push_back(y);
        labels.push_back(label);
    }
    void ChartAddPoints(const float* v, int count, int, bench::PointColour) override {
        for (int i = 0; i < count; ++i) points.push_back(v[i]);
    }
    void ChartRepaint() override {}
    void ChartSetTitle(const std::string& t, bool) override { title = t; }
    void ChartSetBottomScale(double unitsPerPoint) override { bottomScale = unitsPerPoint; }
    void ChartSetAxisTitles(const std::string& left, const std::string&) override {
        leftTitle = left;
    }
    void ChartSetFoot(const std::string& t) override {
        foot = t;
        feet.push_back(t);
    }
    void SetBottomAxisAutomatic(bool) override {}
    void SetBottomAxisRange(double, double) override {}
    void SetLeftAxisAutomatic(bool a) override { leftAutomatic = a; }
    void SetLeftAxisRange(double, double maximum) override { leftMaximum = maximum; }
    std::optional<std::string> AskReportFile(const std::string& preset) override {
        presets.push_back(preset);
        return reportFile;
    }
    bool SaveChartImage(const std::string& path, int w, int h) override {
        images.push_back(path + " " + std::to_string(w) + "x" + std::to_string(h));
        return true;
    }

    std::string value, title, foot, leftTitle;
    double bottomScale = 1.0;
    std::vector<std::string> feet;  ///< every foot set, in order
    std::vector<double> points;
    std::vector<std::string> labels;
    bool leftAutomatic = true;
    double leftMaximum = 0.0;
    std::optional<std::string> reportFile;
    std::vector<std::string> presets;
    std::vector<std::string> images;
    std::map<bench::Readout, std::string> readouts;  ///< the latest text of each read-out
};

class RecordingParamView final : public params::ParamView {
  public:
    int MessageBox(const std::string& text, const std::string&, int flags) override {
        messages.push_back(text);
        flagsShown.push_back(flags);
        if (answers.empty()) return params::kIdOk;
        const int a = answers.front();
        answers.pop_front();
        return a;
    }
    void ShowError(const std::string&) override {}
    void Beep() override {}
    void SetParamProgress(int, int position) override { lastProgress = position; }
    void RefreshGrid() override {}
    void SelectBaudItem(int) override {}
    void SelectAddressItem(int) override {}
    void SetIdentityLabel(params::IdentityLabel, const std::string&) override {}
    std::string IdentityLabelText(params::IdentityLabel) const override { return ""; }
    std::optional<std::string> AskSaveParamFile(const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::string> AskOpenParamFile() override { return std::nullopt; }

    std::vector<std::string> messages;
    std::vector<int> flagsShown;
    std::deque<int> answers;
    int lastProgress = -1;
};

/// The frame: FetchResult takes the next of results (the last one again when they run out).
class FakeRunFrame final : public bench::RunFrame {
  public:
    explicit FakeRunFrame(int32_t mode) : mode_(mode) { session.SetView(paramView); }

    bool FetchResult() override {
        ++fetches;
        if (failFetches || failFetchesAt.count(fetches - 1) != 0) return false;
        if (!results.empty()) {
            current.store(results.front());
            if (results.size() > 1) results.pop_front();
        }
        return true;
    }
    bool ReadEncoderPosition() override {
        if (!run.encoderPresent) return false;
        float mm = 0.0f;
        if (!encoder.ReadPositionMm(mm)) return false;
        run.encoderPosition = mm;
        return true;
    }
    bool OpenMotorPort() override { return motor.Open() == link::kStatusOk; }
    bool OpenEncoderPort() override {
        run.encoderPresent = encoder.Open(session.conn.measuringRange);
        return run.encoderPresent;
    }
    void EndRun() override { ++ends; }
    void SetTickInterval(int) override {}
    bench::RunState& Run() override { return run; }
    const bench::ModeRow& Row() const override { return *bench::FindMode(mode_); }
    acquire::SampleBuffer& Samples() override { return samples; }
    std::atomic<float>& CurrentValue() override { return current; }
    std::atomic<float>& ZeroOffset() override { return zero; }
    acquire::SampleStream& Stream() override { return stream; }
    params::SensorSession& Session() override { return session; }
    bench::BenchDevices& Devices() override { return devices; }
    bench::RunView& View() override { return view; }
    platform::Clock& Clock() override { return clock; }
    const bench::MotorTable& Motors() const override { return table; }

    /// Start, then ticks until the mode ends its run (at most maxTicks), then Stop.
    int RunToEnd(bench::RunMode& mode, int maxTicks = 100000) {
        run.tickPhase = 0;
        run.timing = bench::ComputeMotionTiming(table, session.conn.motorRecord,
                                                session.conn.measuringRange);
        samples.Reset();
        mode.Start(*this);
        int ticks = 0;
        while (ends == 0 && ticks < maxTicks) {
            mode.Tick(*this);
            ++ticks;
        }
        mode.Stop(*this);
        return ticks;
    }

    platform::FakeClock clock;
    lang::TextTable texts;
    RecordingParamView paramView;
    params::SensorSession session{texts, clock};
    bench::RunState run;
    bench::MotorTable table;
    acquire::SampleBuffer samples;
    std::atomic<float> current{0.0f};
    std::atomic<float> zero{0.0f};
    std::atomic<bool> streaming{false};
    acquire::SampleStream stream{session, {samples, current, zero, streaming}};
    ScriptedMotor motor;
    ScriptedEncoder encoder;
    IdleBoard board;
    bench::BenchDevices devices{motor, encoder, board};
    RecordingRunView view;
    std::deque<float> results;
    bool failFetches = false;
    std::set<int> failFetchesAt;  ///< requests (counted from 0) that fail
    int fetches = 0;
    int ends = 0;

  private:
    int32_t mode_;
};

}  // namespace veska::testing
