#include "params/SensorPortOpen.h"

#include "link/PortSelection.h"

namespace veska::params {

std::string SensorPortFailureText(const lang::TextTable& texts, const std::string& portName) {
    return texts.Message(0) + " - " + portName + "." + '\r' + texts.Message(1);
}

bool OpenSensorPort(link::TMORLAInterface& sensor, params::ConnectionState& conn, ParamView& view,
                    const lang::TextTable& texts) {
    conn.linkStatus.store(sensor.ClosePort());
    const link::PortChoice choice = link::MapSensorPort(conn.portName);
    const int32_t status = sensor.OpenPort(choice.portMode, choice.deviceName, conn.baudRate);
    conn.linkStatus.store(status);
    if (status == 0) return true;
    view.MessageBox(SensorPortFailureText(texts, conn.portName), texts.Message(2),
                    kMbIconExclamation);
    return false;
}

}  // namespace veska::params
