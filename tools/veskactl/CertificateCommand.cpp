// veskactl certificate: a unit's certificate as a PDF, from the results store alone.
#include <string>

#include "platform/FileIo.h"
#include "report/Certificate.h"
#include "tools/veskactl/Commands.h"
#include "tools/veskactl/Session.h"
#include "tools/veskactl/StationRecords.h"

namespace veska::tools {

int RunCertificate(Session& session, const CommandArgs& args) {
    std::string runId;
    std::string out;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        std::string* target = word == "--run" ? &runId : word == "--out" ? &out : nullptr;
        if (target == nullptr) {
            return session.Fail(kExitUsage, "certificate: unknown argument '" + word + "'");
        }
        if (i + 1 >= args.size() || args[i + 1].empty()) {
            return session.Fail(kExitUsage, "certificate: " + word + " needs a value");
        }
        *target = args[++i];
    }
    if (runId.empty() || out.empty()) {
        return session.Fail(kExitUsage, "certificate: --run ID and --out FILE.pdf are required");
    }
    auto store = OpenResultsStore(session, "certificate");
    if (!store) return kExitStore;
    std::string error;
    const auto data = report::LoadCertificate(*store, runId, error);
    if (!data) return session.Fail(kExitStore, "certificate: " + error);
    const std::string pdf = report::CertificatePdf(*data, error);
    if (pdf.empty()) return session.Fail(kExitFile, "certificate: " + error);
    std::string reason;
    if (!platform::ReplaceFile(out, pdf, reason)) {
        return session.Fail(kExitFile, "certificate: cannot write " + out + ": " + reason);
    }
    session.out << out << '\n';
    return kExitOk;
}

}  // namespace veska::tools
