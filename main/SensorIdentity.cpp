#include "main/SensorIdentity.h"

#include <string>

#include "bench/MotorTable.h"
#include "link/Status.h"

namespace veska::main {

bool RefreshIdentity(link::TMORLAInterface& sensor, ProgramState& state, params::ParamView& view) {
    link::ConnectionState& conn = state.conn;
    link::DeviceInfo info;
    const int32_t status = sensor.Identify(conn.netAddress, info);
    conn.Record(status);
    if (status != link::kStatusOk) return false;
    conn.deviceInfo = info;
    conn.deviceType = info.deviceType;
    conn.baseDistance = info.baseDistance;
    conn.measuringRange = info.measuringRange;
    conn.motorRecord =
        bench::ChooseMotorRecord(state.motorTable, info.baseDistance, info.measuringRange);
    ShowIdentity(info, view);
    return true;
}

void ShowIdentity(const link::DeviceInfo& info, params::ParamView& view) {
    using params::IdentityLabel;
    view.SetIdentityLabel(IdentityLabel::Model, std::to_string(info.deviceType));
    view.SetIdentityLabel(IdentityLabel::Release, std::to_string(info.releaseNumber));
    view.SetIdentityLabel(IdentityLabel::SerialNumber, std::to_string(info.serialNumber));
    view.SetIdentityLabel(IdentityLabel::Base, std::to_string(info.baseDistance) + " mm");
    view.SetIdentityLabel(IdentityLabel::Range, std::to_string(info.measuringRange) + " mm");
}

}  // namespace veska::main
