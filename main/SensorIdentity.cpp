#include "main/SensorIdentity.h"

#include <string>

#include "bench/MotorTable.h"
#include "link/Status.h"

namespace veska::main {

bool RefreshIdentity(ProgramState& state, params::ParamView& view) {
    params::ConnectionState& conn = state.session.conn;
    if (state.session.Identify() != link::kStatusOk) return false;
    conn.motorRecord =
        bench::ChooseMotorRecord(state.motorTable, conn.baseDistance, conn.measuringRange);
    ShowIdentity(conn.deviceInfo, view);
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
