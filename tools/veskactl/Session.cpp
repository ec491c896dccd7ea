#include "tools/veskactl/Session.h"

#include <algorithm>

#include "link/PortSelection.h"
#include "link/Status.h"
#include "params/ParamCodings.h"
#include "params/SensorPortOpen.h"
#include "platform/D2xx.h"
#include "tools/veskactl/Commands.h"

namespace veska::tools {

namespace {

constexpr int kAddressMin = 1;
constexpr int kAddressMax = 127;
constexpr const char* kPelrinChoice = "USB_PELRIN";

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

}  // namespace

std::string PortNameOfChoice(const std::string& choice) {
    if (choice.find('/') != std::string::npos) return choice;
    return std::string(link::kPortPrefix) + choice;
}

uint32_t BaudOfCode(uint32_t code) { return code == 128 ? 921600 : code * 2400; }

bool LineSettingUsable(int row, int32_t v) {
    if (row == params::kRowBaudRate) {
        if (v <= 0 || v > 384) return false;  // 384 x 2400 = 921600, the top rate
        const uint32_t host = BaudOfCode(static_cast<uint32_t>(v));
        const uint32_t sensor = BaudOfCode(static_cast<uint32_t>(v) & 0xFF);
        const auto& rates = params::UartBaudTexts();
        return host == sensor &&
               std::find(rates.begin(), rates.end(), std::to_string(host)) != rates.end();
    }
    if (row == params::kRowNetAddress) return v >= kAddressMin && v <= kAddressMax;
    return true;
}

// ConsoleView

void ConsoleView::PrintLines(const std::string& text) {
    if (!firstNote_.empty()) {
        err_ << "veskactl: " << firstNote_ << '\n';
        firstNote_.clear();
    }
    std::string line;
    for (char c : text) {
        if (c == '\r' || c == '\n') {
            err_ << "veskactl: " << line << '\n';
            line.clear();
        } else {
            line += c;
        }
    }
    err_ << "veskactl: " << line << '\n';
}

int ConsoleView::MessageBox(const std::string& text, const std::string& /*caption*/, int flags) {
    const ConsoleAnswers::Answer answer = answers_.Decide(flags);
    // An approved confirmation goes ahead silently.
    if (answer.id == params::kIdOk && flags == params::kMbOkCancelExclamation) return answer.id;
    PrintLines(text);
    if (!answer.note.empty()) err_ << "veskactl: " << answer.note << '\n';
    refused_ = refused_ || answer.refused;
    return answer.id;
}

void ConsoleView::ShowError(const std::string& text) { PrintLines(text); }

void ConsoleView::SetIdentityLabel(params::IdentityLabel label, const std::string& text) {
    labels_[label] = text;
}

std::string ConsoleView::IdentityLabelText(params::IdentityLabel label) const {
    const auto it = labels_.find(label);
    return it == labels_.end() ? std::string() : it->second;
}

std::optional<std::string> ConsoleView::AskSaveParamFile(const std::string& /*presetName*/) {
    return saveAnswer;
}

// Session

Session::Session(const Options& opts, std::ostream& outStream, std::ostream& errStream,
                 platform::Clock& clk)
    : out(outStream),
      err(errStream),
      options(opts),
      clock(clk),
      view(errStream, opts.yes),
      device(texts, clk),
      transfer(device),
      files(transfer) {
    device.SetView(view);
    device.reopenPort = [this] {
        const bool ok = device.OpenPort();
        openStatus = conn.linkStatus.load();
        return ok;
    };
    const std::string languageDir =
        options.languageDir.empty() ? lang::FindLanguageDirectory() : options.languageDir;
    if (!lang::LoadLanguage(languageDir, texts)) {
        view.SetFirstNote(lang::MissingLanguageNote(languageDir));
    }
    params::LocaliseParamNames(table, texts);
    conn.portName = PortNameOfChoice(options.port);
    conn.baudRate = options.baud;
    conn.netAddress = options.address;
}

int Session::Fail(int code, const std::string& text) {
    err << "veskactl: " << text << '\n';
    return code;
}

int Session::LinkFailure(const std::string& what, int32_t status) {
    return Fail(kExitLink, what + ": status " + std::to_string(status) + " (" +
                               link::StatusMeaning(status) + ")");
}

std::string Session::RowName(int i) const { return Trim(table[i].name); }

int Session::Connect() {
    (void)sensor.ClosePort();
    if (options.port == kPelrinChoice) {
        // The line stays on at exit, so that the sensor keeps its working set between runs.
        link::SwitchAdapterLine(platform::UsbBackend(), clock, 1);
    }
    if (!device.OpenPort()) {
        const int32_t status = conn.linkStatus.load();
        return Fail(kExitPort, "cannot open the sensor port '" + conn.portName + "': status " +
                                   std::to_string(status) + " (" + link::StatusMeaning(status) +
                                   ")");
    }
    const link::Status status = device.Identify();
    if (status != link::kStatusOk) {
        (void)sensor.ClosePort();
        return LinkFailure(
            "no answer to identify at net address " + std::to_string(conn.netAddress), status);
    }
    const link::DeviceInfo& info = conn.deviceInfo;
    view.SetIdentityLabel(params::IdentityLabel::Model, std::to_string(info.deviceType));
    view.SetIdentityLabel(params::IdentityLabel::Release, std::to_string(info.releaseNumber));
    view.SetIdentityLabel(params::IdentityLabel::SerialNumber, std::to_string(info.serialNumber));
    view.SetIdentityLabel(params::IdentityLabel::Base, std::to_string(info.baseDistance) + " mm");
    view.SetIdentityLabel(params::IdentityLabel::Range,
                          std::to_string(info.measuringRange) + " mm");
    return kExitOk;
}

int Session::ReadAll() {
    if (!device.FetchAllParameters()) {
        const int i = device.LastFailedParam();
        return LinkFailure("reading parameter " + std::to_string(i) + " '" + RowName(i) + "'",
                           conn.linkStatus.load());
    }
    device.CopySensorToWork(params::kGridParamCount);
    device.RebuildGrid();
    return kExitOk;
}

int Session::ReadRow(int i) {
    if (!device.FetchParameter(i)) {
        return LinkFailure("reading parameter " + std::to_string(i) + " '" + RowName(i) + "'",
                           conn.linkStatus.load());
    }
    values.workValues[i] = values.sensorValues[i];
    if (params::IsControlByteRow(i)) {
        for (int row = 0; row < params::kGridParamCount; ++row) {
            if (params::IsControlByteRow(row)) {
                values.workValues[row] = values.sensorValues[i];
                values.sensorValues[row] = values.sensorValues[i];
            }
        }
    }
    device.RebuildGrid();
    return kExitOk;
}

void Session::PrintRow(int i) {
    out << i << '\t' << RowName(i) << '\t' << values.sensorValues[i] << '\t' << grid.CellText(i)
        << '\n';
}

}  // namespace veska::tools
