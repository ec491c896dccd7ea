#include "tools/veskactl/Commands.h"
#include "tools/veskactl/Session.h"

namespace veska::tools {

int RunIdentify(Session& session, const CommandArgs& /*args*/) {
    if (const int code = session.Connect(); code != kExitOk) return code;
    const link::DeviceInfo& info = session.conn.deviceInfo;
    session.out << "type=" << int{info.deviceType} << " release=" << int{info.releaseNumber}
                << " serial=" << info.serialNumber << " base=" << info.baseDistance
                << " range=" << info.measuringRange << '\n';
    return kExitOk;
}

}  // namespace veska::tools
