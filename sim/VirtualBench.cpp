#include "sim/VirtualBench.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace veska::sim {

VirtualBench::VirtualBench(BenchOptions options)
    : options_(std::move(options)),
      world_(options_.sensor.identity.baseDistance, options_.sensor.identity.measuringRange),
      sensor_(world_, options_.sensor),
      sensorLine_(sensor_, options_.sensorLine),
      sensorPty_(sensorLine_),
      usbSensor_(world_, options_.sensor),
      adapterSensor_(world_, options_.sensor) {
    converter_ = &usb_.AddConverter(usbSensor_, options_.sensorLine);
    adapter_ = &usb_.AddAdapter(adapterSensor_, options_.sensorLine);
}

VirtualBench::~VirtualBench() { Stop(); }

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
    const std::string com = PortPath(kSensorCom);
    struct stat st {};
    if (::lstat(com.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) return fail(com + " exists and is not a symlink");
        ::unlink(com.c_str());
    }
    if (::symlink(sensorPty_.SlavePath().c_str(), com.c_str()) != 0)
        return fail("cannot link " + com + ": " + std::strerror(errno));

    if (options_.setPortsEnvironment) {
        if (const char* old = std::getenv("VESKA_PORTS")) previousPorts_ = old;
        ::setenv("VESKA_PORTS", portDirectory_.c_str(), 1);
        envSet_ = true;
    }
    if (options_.installUsbBackend) {
        platform::SetUsbBackendOverride(&usb_);
        usbInstalled_ = true;
    }
    return true;
}

void VirtualBench::Stop() {
    if (usbInstalled_) {
        platform::SetUsbBackendOverride(nullptr);
        usbInstalled_ = false;
    }
    if (envSet_) {
        if (previousPorts_)
            ::setenv("VESKA_PORTS", previousPorts_->c_str(), 1);
        else
            ::unsetenv("VESKA_PORTS");
        envSet_ = false;
    }
    sensorPty_.Stop();
    if (!portDirectory_.empty()) {
        const std::string com = PortPath(kSensorCom);
        struct stat st {};
        if (::lstat(com.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) ::unlink(com.c_str());
        if (ownDirectory_) ::rmdir(portDirectory_.c_str());
        portDirectory_.clear();
        ownDirectory_ = false;
    }
}

}  // namespace veska::sim
