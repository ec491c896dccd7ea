#pragma once
#include <string>

#include "lang/Language.h"
#include "link/MorlaInterface.h"
#include "params/ConnectionState.h"
#include "params/ParamView.h"

namespace veska::params {

/// The text of a failed sensor port open: MESSAGE Item_0, " - ", portName (with its "\\.\"
/// prefix), ".", CR, MESSAGE Item_1, then, when a device was tried, CR and "(device:
/// reason)", e.g. "(/dev/ttyS4: No such file or directory)".
std::string SensorPortFailureText(const lang::TextTable& texts, const std::string& portName,
                                  const std::string& device = {}, const std::string& reason = {});

/// Opens the sensor port named by conn.portName at conn.baudRate: ClosePort, map the name
/// ("\\.\USB", "\\.\USB_PELRIN" or a serial device), OpenPort; both statuses go to
/// conn.linkStatus. A failure is shown as a message box (SensorPortFailureText, caption
/// MESSAGE Item_2, flags 48). True when the port is open. The caller makes its own window
/// effects of a failure (the main window disables ButtonMeasure).
bool OpenSensorPort(link::TMORLAInterface& sensor, params::ConnectionState& conn, ParamView& view,
                    const lang::TextTable& texts);

}  // namespace veska::params
