#pragma once
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "link/MorlaInterface.h"
#include "main/MeasurementCycle.h"
#include "main/NullMainView.h"
#include "main/PlainModes.h"
#include "main/ProgramState.h"
#include "main/StreamController.h"
#include "platform/Clock.h"
#include "sim/PtyLink.h"
#include "sim/SensorDevice.h"
#include "sim/SensorLine.h"
#include "sim/SimUsbBackend.h"
#include "sim/World.h"

namespace veska::benchmarks {

/// A MainView that keeps chart points in plain vectors and drops everything else: the cost
/// of the logic without the widget (the widget's own cost is measured with the window).
class VectorView final : public main::NullMainView {
  public:
    std::vector<double> pointY;
    std::vector<int> pointLabel;

    void ShowValue(const std::string& text) override { rastText = text; }
    void ChartClear() override {
        pointY.clear();
        pointLabel.clear();
    }
    void ChartAddPoint(double y, const std::string& label, main::PointColour) override {
        pointY.push_back(y);
        pointLabel.push_back(std::atoi(label.c_str()));
    }
    void ChartAddPoints(const float* values, int count, int firstLabel,
                        main::PointColour) override {
        pointY.insert(pointY.end(), values, values + count);
        for (int i = 0; i < count; ++i) pointLabel.push_back(firstLabel + i);
    }

    std::string rastText;  ///< the newest LabelRast text
};

/// The simulated sensor in process, and the program's logic on the host side, as the tests
/// wire them. The sensor sits on a pty with its own worker thread, or (usb) behind the
/// simulated USB converter, where an exchange stays in process and costs no scheduling.
struct SimHost {
    SimHost(sim::LineOptions line, platform::Clock& hostClock, bool overUsb = false)
        : world(80.0, 50.0),
          device(world, Quiet()),
          sensorLine(device, line),
          pty(sensorLine),
          state(hostClock),
          sensor(state.session.sensor),
          stream(state, view, window, hostClock),
          cycle(state, view, window, hostClock, stream, bench::AbsentDevices(), steps) {
        plainModes.BindTo(steps);
        world.SetTargetMm(100.0);
        std::string error;
        bool ok = false;
        if (overUsb) {
            usb.AddConverter(device, line);
            sensor.Port().SetUsbBackend(&usb);
            ok = sensor.OpenPort(1, sim::kConverterDescription, 921600) == 0;
        } else {
            ok = pty.Start(&error) && sensor.OpenPort(0, pty.SlavePath(), 921600) == 0;
        }
        if (!ok) {
            std::fprintf(stderr, "cannot start the simulated sensor: %s\n", error.c_str());
            std::exit(1);
        }
        state.session.conn.measuringRange = 50;
        state.session.conn.baseDistance = 80;
        state.session.conn.resultDivisor = 50000;
        cycle.refreshIdentity = [] {};
    }
    ~SimHost() {
        stream.Stream().StopThread();
        (void)sensor.ClosePort();
        pty.Stop();
    }
    static sim::SensorOptions Quiet() {
        sim::SensorOptions o;
        o.noise = 0.0;
        return o;
    }

    sim::World world;
    sim::SensorDevice device;
    sim::SensorLine sensorLine;
    sim::PtyLink pty;
    sim::SimUsbBackend usb;
    main::ProgramState state;
    VectorView view;
    main::WindowState window{view, state.texts, false};
    link::TMORLAInterface& sensor;
    main::PlainModes plainModes;
    bench::ModeSteps steps;
    main::StreamController stream;
    main::MeasurementCycle cycle;
};

inline double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace veska::benchmarks
