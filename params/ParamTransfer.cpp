#include "params/ParamTransfer.h"
#include "lang/Language.h"

#include <cstdint>
#include <utility>
#include <vector>

#include "link/Status.h"
#include "params/SensorSet.h"
#include "params/ValueRange.h"

namespace veska::params {

namespace {

constexpr char kCR = '\r';  // line break of the message texts (the single character 13)
constexpr const char* kEqualText = "Ok!";

constexpr uint32_t kDefaultBaud = 115200;  ///< [bit/s] of the sensor's default set
constexpr int32_t kFactoryBaudCode = 48;   ///< 115200 / 2400
constexpr uint32_t kFactoryStepWaitMs = 100;
constexpr int kDefaultBaudItem = 7;  ///< "115200" in ComboBoxWorkBaund

}  // namespace

ParamTransfer::ParamTransfer(SensorSession& session, std::function<void()> writeFactoryParamFile)
    : session_(session), writeFactoryParamFile_(std::move(writeFactoryParamFile)) {}

bool ParamTransfer::CompareParameter(int i) {
    if (!session_.FetchParameter(i)) return false;
    return session_.values.workValues[i] == session_.values.sensorValues[i];
}

bool ParamTransfer::CompareAllParameters() {
    if (!session_.FetchAllParameters()) return false;
    for (int i = 0; i < kGridParamCount; ++i) {
        if (session_.values.workValues[i] != session_.values.sensorValues[i]) return false;
    }
    return true;
}

void ParamTransfer::StoreToFlash() { StoreSet(link::kStoreFlash); }

void ParamTransfer::StoreAsFactory() { StoreSet(link::kStoreFactory); }

void ParamTransfer::StoreSet(uint8_t code) {
    if (session_.StoreSet(code) != link::kStatusOk) {
        Show(session_.Texts().Message(kMsgStoreFailed), kMbIconStop);
    } else {
        Show(session_.Texts().Message(kMsgStored), kMbOk);
    }
}

void ParamTransfer::RestoreDefaults() {
    if (session_.StoreSet(link::kStoreDefault) != link::kStatusOk) {
        Show(session_.Texts().Message(kMsgDefaultFailed), kMbIconStop);
        return;
    }
    // The sensor now speaks its default line settings; the host's selectors follow. The open
    // port keeps its rate until the next open.
    session_.View().SelectBaudItem(kDefaultBaudItem);
    session_.View().SelectAddressItem(0);
    session_.conn.baudRate = kDefaultBaud;
    session_.conn.netAddress = 1;
    if (!session_.FetchAllParameters()) {
        session_.conn.answerStatus.store(session_.conn.linkStatus.load());
        return;
    }
    session_.CopySensorToWork(kGridParamCount);
    session_.RebuildGrid();
    Show(session_.Texts().Message(kMsgDefaultRestored), kMbOk);
    session_.conn.answerStatus.store(session_.conn.linkStatus.load());
}

bool ParamTransfer::RefuseUnwritable(const std::vector<int>& rows) {
    const std::vector<int> refused =
        UnwritableRows(session_.table, session_.values, rows, session_.Texts());
    if (refused.empty()) return false;
    Show(RefusedWriteText(session_.table, session_.values, refused, session_.Texts()), kMbIconStop);
    return true;
}

void ParamTransfer::PopupMenuLoadClick() {
    const int i = session_.grid.CurrentParam();
    if (RefuseUnwritable({i})) return;
    session_.SendParameter(i);
}

void ParamTransfer::PopupMenuReadClick() {
    const int i = session_.grid.CurrentParam();
    if (!session_.FetchParameter(i)) return;
    session_.values.workValues[i] = session_.values.sensorValues[i];
    session_.RebuildGrid();
}

std::string ParamTransfer::DifferenceLine(int i) const {
    return std::string(1, kCR) + "'" + session_.table[i].name +
           "': " + session_.Texts().Message(kMsgGrid) +
           std::to_string(session_.values.workValues[i]) + ", " +
           session_.Texts().Message(kMsgSensor) + std::to_string(session_.values.sensorValues[i]) +
           ".";
}

std::string ParamTransfer::LinkFailureText(int i) const {
    const int32_t status = session_.conn.linkStatus.load();
    return session_.Texts().Message(kMsgNoAnswer) + kCR + "'" + session_.table[i].name +
           "': status " + std::to_string(status) + " (" + link::StatusMeaning(status) + ").";
}

void ParamTransfer::PopupMenuCompareClick() {
    // The comparison always reads the sensor: a link that fails is reported as such, never
    // as agreement and never as a difference against stale sensor values.
    const int i = session_.grid.CurrentParam();
    if (!session_.FetchParameter(i)) {
        Show(LinkFailureText(i), kMbIconStop);
        return;
    }
    std::string text = kEqualText;
    if (session_.values.workValues[i] != session_.values.sensorValues[i]) {
        text = session_.Texts().Message(kMsgDiffer) + " '" + session_.table[i].name + "'" +
               session_.Texts().Message(kMsgDifferTail) + DifferenceLine(i);
    }
    Show(text, kMbIconExclamation);
}

void ParamTransfer::PopupMenuLoadAllClick() {
    // All or nothing: a set with a value the sensor may not hold is not sent in part.
    std::vector<int> rows(kGridParamCount);
    for (int i = 0; i < kGridParamCount; ++i) rows[i] = i;
    if (RefuseUnwritable(rows)) return;
    session_.SendAllParameters();
}

void ParamTransfer::PopupMenuReadAllClick() {
    if (!ConfirmDiscardEdits(session_.Texts().Text(lang::ProgramText::DiscardReadAll))) return;
    if (!session_.FetchAllParameters()) return;
    session_.CopySensorToWork(kGridParamCount);
    session_.RebuildGrid();
}

void ParamTransfer::PopupMenuCompareAllClick() {
    if (!session_.FetchAllParameters()) {
        Show(LinkFailureText(session_.LastFailedParam()), kMbIconStop);
        return;
    }
    std::string text = kEqualText;
    std::string lines;
    for (int i = 0; i < kGridParamCount; ++i) {
        if (session_.values.workValues[i] != session_.values.sensorValues[i])
            lines += DifferenceLine(i);
    }
    // One caption for every box; the first line names no parameter, the lines below do.
    if (!lines.empty()) text = session_.Texts().Text(lang::ProgramText::DifferAll) + lines;
    Show(text, kMbIconExclamation);
}

bool ParamTransfer::ConfirmDiscardEdits(const std::string& consequence) {
    const std::vector<int> rows = UnsentRows(session_.table, session_.values);
    if (rows.empty()) return true;
    const std::string text =
        DiscardEditsQuestion(session_.table, session_.values, rows, consequence, session_.Texts());
    return session_.View().MessageBox(text, session_.Texts().Message(kMsgCaption),
                                      kMbOkCancelExclamation) == kIdOk;
}

bool ParamTransfer::Confirm(int messageKey) {
    return session_.View().MessageBox(session_.Texts().Message(messageKey),
                                      session_.Texts().Message(kMsgCaption),
                                      kMbOkCancelExclamation) == kIdOk;
}

void ParamTransfer::PopupMenuFLASHClick() {
    if (!Confirm(kMsgConfirmFlash)) return;
    if (!ConfirmDiscardEdits(session_.Texts().Text(lang::ProgramText::DiscardFlash))) return;
    StoreToFlash();
    if (session_.FetchAllParameters()) session_.CopySensorToWork(kGridParamCount);
    session_.RebuildGrid();
}

void ParamTransfer::PopupMenuDefaultClick() {
    if (!Confirm(kMsgConfirmDefault)) return;
    if (!ConfirmDiscardEdits(session_.Texts().Text(lang::ProgramText::DiscardDefault))) return;
    RestoreDefaults();
    session_.RebuildGrid();
}

void ParamTransfer::PopupMenuFactoryClick() {
    if (!Confirm(kMsgConfirmFactory)) return;
    // Every step runs whatever the previous one gave; each store reports its own box.
    session_.values.workValues[kRowBaudRate] = kFactoryBaudCode;
    session_.SendParameter(kRowBaudRate);
    session_.Clock().Sleep(kFactoryStepWaitMs);
    StoreAsFactory();
    RestoreDefaults();
    session_.RebuildGrid();
    if (writeFactoryParamFile_) writeFactoryParamFile_();
}

void ParamTransfer::Show(const std::string& text, int flags) {
    session_.View().MessageBox(text, session_.Texts().Message(kMsgCaption), flags);
}

}  // namespace veska::params
