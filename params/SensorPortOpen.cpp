#include "params/SensorPortOpen.h"

#include "link/PortSelection.h"

namespace veska::params {

std::string SensorPortFailureText(const lang::TextTable& texts, const std::string& portName,
                                  const std::string& device, const std::string& reason) {
    std::string text = texts.Message(0) + " - " + portName + "." + '\r' + texts.Message(1);
    if (!device.empty() || !reason.empty()) {
        text += '\r';
        text += "(" + device + (device.empty() || reason.empty() ? "" : ": ") + reason + ")";
    }
    return text;
}

bool OpenSensorPort(link::TMORLAInterface& sensor, params::ConnectionState& conn, ParamView& view,
                    const lang::TextTable& texts) {
    conn.linkStatus.store(sensor.ClosePort());
    const link::PortChoice choice = link::MapSensorPort(conn.portName);
    const int32_t status = sensor.OpenPort(choice.portMode, choice.deviceName, conn.baudRate);
    conn.linkStatus.store(status);
    if (status == 0) return true;
    link::TInterface& port = sensor.Port();
    view.MessageBox(
        SensorPortFailureText(texts, conn.portName, port.DevicePath(), port.OpenError()),
        texts.Message(2), kMbIconExclamation);
    return false;
}

}  // namespace veska::params
