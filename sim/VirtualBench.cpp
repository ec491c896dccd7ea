#include "sim/VirtualBench.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace veska::sim {

namespace {

StageGeometry BenchStage(const BenchOptions& options) {
    if (options.stage) return *options.stage;
    std::vector<StageGeometry> records;
    if (!options.motorTablePath.empty()) {
        records = ReadStageRecords(options.motorTablePath);
    } else {
        records = ReadStageRecords("Motor.dat");
#ifdef VESKA_DATA_DIR
        if (records.empty()) records = ReadStageRecords(std::string(VESKA_DATA_DIR) + "/Motor.dat");
#endif
    }
    const SensorIdentity& id = options.sensor.identity;
    return FittingStage(records, id.baseDistance, id.measuringRange);
}

}  // namespace

VirtualBench::VirtualBench(BenchOptions options)
    : options_(std::move(options)),
      world_(options_.sensor.identity.baseDistance, options_.sensor.identity.measuringRange),
      stage_(world_, BenchStage(options_)),
      motor_(stage_, &stageFaults_),
      motorLine_(motor_, stageFaults_),
      motorPty_(motorLine_),
      encoder_(stage_, options_.encoder),
      encoderLine_(encoder_, encoderFaults_),
      encoderPty_(encoderLine_),
      sensor_(world_, options_.sensor),
      sensorLine_(sensor_, options_.sensorLine),
      sensorFaultLine_(sensorLine_, sensorFaults_),
      sensorPty_(sensorFaultLine_),
      usbSensor_(world_, options_.sensor),
      adapterSensor_(world_, options_.sensor) {
    converter_ = &usb_.AddConverter(usbSensor_, options_.sensorLine);
    adapter_ = &usb_.AddAdapter(adapterSensor_, options_.sensorLine);

    world_.SetTimeScale(options_.timeScale);
    const SensorIdentity& id = options_.sensor.identity;
    const StageGeometry& g = stage_.Geometry();
    const double middleMm = id.baseDistance + id.measuringRange / 2.0 - g.travelStartMm;
    stage_.PlaceAt(static_cast<int64_t>(middleMm / g.stepLengthMm), World::SteadyClock::now());
    if (options_.stageDrivesTarget) world_.DriveTarget(&stage_);
    world_.DriveAnalogOutput(&sensor_);  // the board measures the COM4 sensor's output
    sensorLine_.ConnectTrigger(&stage_);
    converter_->Line().ConnectTrigger(&stage_);
    adapter_->Line().ConnectTrigger(&stage_);
}

VirtualBench::~VirtualBench() {
    Stop();
    world_.DriveAnalogOutput(nullptr);
}

std::string VirtualBench::PortPath(int n) const {
    return portDirectory_ + "/COM" + std::to_string(n);
}

bool VirtualBench::Start(std::string* error) {
    auto fail = [&](const std::string& text) {
        if (error) *error = text;
        Stop();
        return false;
    };
    if (options_.portDirectory.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/veska-ports-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (!::mkdtemp(buffer.data()))
            return fail("cannot make a port directory: " + std::string(std::strerror(errno)));
        portDirectory_ = buffer.data();
        ownDirectory_ = true;
    } else {
        portDirectory_ = options_.portDirectory;
        if (::mkdir(portDirectory_.c_str(), 0755) != 0 && errno != EEXIST)
            return fail("cannot make " + portDirectory_ + ": " + std::strerror(errno));
    }

    std::string ptyError;
    if (!sensorPty_.Start(&ptyError)) return fail("sensor pseudo-terminal: " + ptyError);
    if (!motorPty_.Start(&ptyError)) return fail("motor pseudo-terminal: " + ptyError);
    if (!encoderPty_.Start(&ptyError)) return fail("encoder pseudo-terminal: " + ptyError);
    std::string linkError;
    if (!LinkPort(kSensorCom, sensorPty_, &linkError) ||
        !LinkPort(kMotorCom, motorPty_, &linkError) ||
        !LinkPort(kEncoderCom, encoderPty_, &linkError)) {
        return fail(linkError);
    }

    if (options_.installUsbBackend) {
        previousUsb_ = platform::UsbBackend();
        platform::SetUsbBackend(&usb_);
        usbInstalled_ = true;
    }
    for (const FaultSetting& setting : options_.faults) SetFault(setting);
    return true;
}

DeviceFaults& VirtualBench::Faults(FaultDevice device) {
    switch (device) {
        case FaultDevice::kSensor:
            return sensorFaults_;
        case FaultDevice::kStage:
            return stageFaults_;
        case FaultDevice::kEncoder:
            return encoderFaults_;
        case FaultDevice::kBoard:
            break;
    }
    return world_.BoardFaults();
}

PtyLink* VirtualBench::PortOf(FaultDevice device, int* com) {
    struct Port {
        FaultDevice device;
        PtyLink* pty;
        int com;
    };
    const Port ports[] = {{FaultDevice::kSensor, &sensorPty_, kSensorCom},
                          {FaultDevice::kStage, &motorPty_, kMotorCom},
                          {FaultDevice::kEncoder, &encoderPty_, kEncoderCom}};
    for (const Port& p : ports) {
        if (p.device != device) continue;
        if (com) *com = p.com;
        return p.pty;
    }
    return nullptr;
}

void VirtualBench::SetFault(const FaultSetting& setting) {
    std::lock_guard lock(portsMutex_);
    DeviceFaults& faults = Faults(setting.device);
    faults.Switch(setting);
    // A port that hangs up now closes now, not when its worker next looks.
    if (PtyLink* pty = PortOf(setting.device); pty && faults.Gone()) pty->Vanish();
}

bool VirtualBench::SetFault(std::string_view text, std::string* error) {
    const std::optional<FaultSetting> setting = ParseFault(text, error);
    if (!setting) return false;
    SetFault(*setting);
    return true;
}

bool VirtualBench::ClearFaults(FaultDevice device, std::string* error) {
    std::lock_guard lock(portsMutex_);
    DeviceFaults& faults = Faults(device);
    const bool wasGone = faults.Gone();
    faults.Clear();
    int com = 0;
    PtyLink* pty = PortOf(device, &com);
    if (pty == nullptr || portDirectory_.empty() || (!wasGone && pty->Running())) return true;
    // Plugged in again: a new pseudo-terminal behind the same COMn link.
    pty->Vanish();
    std::string ptyError;
    if (!pty->Start(&ptyError)) {
        if (error) *error = FaultDeviceName(device) + std::string(" pseudo-terminal: ") + ptyError;
        return false;
    }
    return LinkPort(com, *pty, error ? error : &ptyError);
}

std::string VirtualBench::FaultStatus() {
    std::string text;
    for (FaultDevice device : kFaultDevices) {
        DeviceFaults& faults = Faults(device);
        text += FaultDeviceName(device) + std::string(":");
        const std::vector<FaultSetting> active = faults.Active();
        if (active.empty()) text += " none";
        for (const FaultSetting& setting : active) {
            const std::string full = FormatFault(setting);
            text += " " + full.substr(full.find(':') + 1);
        }
        if (faults.Gone()) text += device == FaultDevice::kBoard ? " (unplugged)" : " (port gone)";
        text += "\n";
    }
    return text;
}

bool VirtualBench::LinkPort(int n, const PtyLink& pty, std::string* error) {
    const std::string com = PortPath(n);
    struct stat st {};
    if (::lstat(com.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            *error = com + " exists and is not a symlink";
            return false;
        }
        ::unlink(com.c_str());
    }
    if (::symlink(pty.SlavePath().c_str(), com.c_str()) != 0) {
        *error = "cannot link " + com + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void VirtualBench::UnlinkPort(int n) {
    const std::string com = PortPath(n);
    struct stat st {};
    if (::lstat(com.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) ::unlink(com.c_str());
}

void VirtualBench::Stop() {
    std::lock_guard lock(portsMutex_);
    if (usbInstalled_) {
        platform::SetUsbBackend(previousUsb_);
        usbInstalled_ = false;
    }
    sensorPty_.Stop();
    motorPty_.Stop();
    encoderPty_.Stop();
    if (!portDirectory_.empty()) {
        for (int n : {kSensorCom, kMotorCom, kEncoderCom}) UnlinkPort(n);
        if (ownDirectory_) ::rmdir(portDirectory_.c_str());
        portDirectory_.clear();
        ownDirectory_ = false;
    }
}

}  // namespace veska::sim
