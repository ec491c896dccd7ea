#pragma once
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/DeviceFaults.h"
#include "sim/EncoderDevice.h"
#include "sim/FaultLine.h"
#include "sim/MotorController.h"
#include "sim/PtyLink.h"
#include "sim/SensorDevice.h"
#include "sim/SensorLine.h"
#include "sim/SimUsbBackend.h"
#include "sim/Stage.h"
#include "sim/World.h"

namespace veska::sim {

struct BenchOptions {
    /// Port directory for the COMn links; "" makes a temporary one, removed at the end.
    std::string portDirectory;
    /// Choose the simulated USB bus as the process's USB backend (the previous choice comes
    /// back at the end). The COMn links are not named anywhere: a program names
    /// PortDirectory() as its port directory itself.
    bool installUsbBackend = true;
    SensorOptions sensor;
    LineOptions sensorLine;
    /// The stage; unset: the record of the motor table that fits the sensor.
    std::optional<StageGeometry> stage;
    /// The motor table the stage is taken from; "": Motor.dat of the current directory,
    /// else the installed one, else the default StageGeometry.
    std::string motorTablePath;
    EncoderOptions encoder;
    /// World time per real time: moves take period x steps / timeScale.
    double timeScale = 1.0;
    /// The stage places the sensor's target (else the target drifts as without a bench).
    bool stageDrivesTarget = true;
    /// Faults switched on when the bench starts.
    std::vector<FaultSetting> faults;
};

/// The virtual bench: one world, the sensor on a pseudo-terminal linked as COM4 in a port
/// directory, the motor controller as COM2 and the reference encoder as COM7, and the
/// simulated USB bus with the converter and the adapter, each with a sensor of the same
/// identity looking at the same world. The stage under the motor controller places the
/// target that every sensor measures and the encoder reads; its output 8 pulses the
/// sensors' trigger inputs. The stage stands at power-on with the target in the middle of
/// the sensor's range. Built and torn down in one place: the constructor wires it, Start
/// opens the ports, the destructor undoes everything.
///
/// Faults (DeviceFaults.h): each device's line runs through a FaultLine, the board's faults
/// live in the world; SetFault switches one on from any thread, at once or after a number
/// of requests, and ClearFaults makes the device healthy again (a vanished port comes back
/// on a new pseudo-terminal behind the same COMn link).
class VirtualBench {
  public:
    explicit VirtualBench(BenchOptions options = {});
    ~VirtualBench();
    VirtualBench(const VirtualBench&) = delete;
    VirtualBench& operator=(const VirtualBench&) = delete;

    /// Starts the sensor's pty, makes the port directory and the links, sets the
    /// environment and installs the USB backend as asked. False with a message on failure.
    bool Start(std::string* error = nullptr);
    void Stop();

    World& GetWorld() { return world_; }
    SensorDevice& Sensor() { return sensor_; }
    SensorLine& SensorLineEnd() { return sensorLine_; }
    PtyLink& SensorPty() { return sensorPty_; }
    SensorDevice& UsbSensor() { return usbSensor_; }
    SensorDevice& AdapterSensor() { return adapterSensor_; }
    SimUsbBackend& Usb() { return usb_; }
    SimSerialUsbDevice& Converter() { return *converter_; }
    SimSerialUsbDevice& Adapter() { return *adapter_; }
    Stage& GetStage() { return stage_; }
    MotorController& Motor() { return motor_; }
    PtyLink& MotorPty() { return motorPty_; }
    EncoderDevice& Encoder() { return encoder_; }
    PtyLink& EncoderPty() { return encoderPty_; }

    /// The faults of a device (the board's are the world's).
    DeviceFaults& Faults(FaultDevice device);
    /// Switches a fault on. A vanish that holds at once closes the device's port at once.
    void SetFault(const FaultSetting& setting);
    /// The same from the text form (ParseFault); false with a message on a bad text.
    bool SetFault(std::string_view text, std::string* error = nullptr);
    /// Switches a device's faults off; a port that hung up comes back. False with a message
    /// when the port cannot be opened again.
    bool ClearFaults(FaultDevice device, std::string* error = nullptr);
    /// One line per device: "encoder: silent@300", "board: none", "stage: vanish (port gone)".
    std::string FaultStatus();

    const std::string& PortDirectory() const { return portDirectory_; }
    /// The path of COMn in the port directory.
    std::string PortPath(int n) const;

    /// The COM port of the sensor.
    static constexpr int kSensorCom = 4;
    static constexpr int kMotorCom = 2;
    static constexpr int kEncoderCom = 7;

  private:
    bool LinkPort(int n, const PtyLink& pty, std::string* error);
    void UnlinkPort(int n);
    /// The port of a device and its COM number; null for the board.
    PtyLink* PortOf(FaultDevice device, int* com = nullptr);

    BenchOptions options_;
    World world_;
    DeviceFaults sensorFaults_{FaultDevice::kSensor};
    DeviceFaults stageFaults_{FaultDevice::kStage};
    DeviceFaults encoderFaults_{FaultDevice::kEncoder};
    Stage stage_;
    MotorController motor_;
    FaultLine motorLine_;
    PtyLink motorPty_;
    EncoderDevice encoder_;
    FaultLine encoderLine_;
    PtyLink encoderPty_;
    SensorDevice sensor_;
    SensorLine sensorLine_;
    FaultLine sensorFaultLine_;
    PtyLink sensorPty_;
    SensorDevice usbSensor_;
    SensorDevice adapterSensor_;
    SimUsbBackend usb_;
    SimSerialUsbDevice* converter_ = nullptr;
    SimSerialUsbDevice* adapter_ = nullptr;

    std::string portDirectory_;
    bool ownDirectory_ = false;
    bool usbInstalled_ = false;
    std::mutex portsMutex_;  ///< serialises fault switches that close or reopen ports
    platform::D2xx* previousUsb_ = nullptr;  ///< chosen before the bench's bus
};

}  // namespace veska::sim
