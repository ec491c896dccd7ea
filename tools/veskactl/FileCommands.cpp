#include "link/Status.h"
#include "tools/veskactl/Commands.h"
#include "tools/veskactl/Session.h"

namespace veska::tools {

int RunSave(Session& session, const CommandArgs& args) {
    if (const int code = session.Connect(); code != kExitOk) return code;
    if (const int code = session.ReadAll(); code != kExitOk) return code;
    session.view.saveAnswer = args[0];
    if (!session.files.WrParamFileClick()) {
        // The view has printed the reason: a refused overwrite or the file error.
        return session.view.Refused() ? kExitUsage : kExitFile;
    }
    return kExitOk;
}

int RunLoad(Session& session, const CommandArgs& args) {
    if (const int code = session.Connect(); code != kExitOk) return code;
    // The sensor's set is the base, as after a connect: rows a file does not name keep it.
    if (const int code = session.ReadAll(); code != kExitOk) return code;
    session.view.openAnswer = args[0];
    if (!session.files.RdParamFileClick()) return kExitFile;
    for (int row : {params::kRowBaudRate, params::kRowNetAddress}) {
        const int32_t v = session.values.workValues[row];
        if (!LineSettingUsable(row, v)) {
            return session.Fail(kExitFile, "load: '" + args[0] + "' holds " + std::to_string(v) +
                                               " for parameter " + std::to_string(row) + " '" +
                                               session.RowName(row) +
                                               "', not a usable line setting; nothing sent");
        }
    }
    const int failures = session.device.SendAllParameters();
    if (session.openStatus != link::kStatusOk) {
        return session.Fail(kExitPort, "load: cannot re-open the port at " +
                                           std::to_string(session.conn.baudRate) + " bit/s");
    }
    if (failures > 0) {
        const int row = session.device.LastFailedParam();
        return session.LinkFailure("load: " + std::to_string(failures) + " of " +
                                       std::to_string(params::kGridParamCount) +
                                       " parameters not sent, the first parameter " +
                                       std::to_string(row) + " '" + session.RowName(row) + "'",
                                   session.device.FirstSendFailure());
    }
    return kExitOk;
}

}  // namespace veska::tools
