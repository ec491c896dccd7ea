#include "link/Status.h"
#include "params/ParamTransfer.h"
#include "tools/veskactl/Commands.h"
#include "tools/veskactl/Session.h"

namespace veska::tools {

int RunStore(Session& session, const CommandArgs& args) {
    const std::string& which = args[0];
    int question = 0;
    if (which == "flash") {
        question = params::kMsgConfirmFlash;
    } else if (which == "default") {
        question = params::kMsgConfirmDefault;
    } else if (which == "factory") {
        question = params::kMsgConfirmFactory;
    } else {
        return session.Fail(kExitUsage, "store: '" + which + "' is not flash, default or factory");
    }
    if (const int code = session.Connect(); code != kExitOk) return code;
    if (!session.transfer.Confirm(question)) return kExitUsage;

    if (which == "flash") {
        session.transfer.StoreToFlash();
    } else if (which == "factory") {
        session.transfer.StoreAsFactory();
    } else {
        session.transfer.RestoreDefaults();
        const int32_t status = session.conn.linkStatus.load();
        if (status != link::kStatusOk) {
            return session.LinkFailure(
                "store default: the defaults were not restored, or not "
                "read back at net address 1",
                status);
        }
        return kExitOk;
    }
    const int32_t status = session.conn.linkStatus.load();
    if (status != link::kStatusOk) return session.LinkFailure("store " + which, status);
    return kExitOk;
}

}  // namespace veska::tools
