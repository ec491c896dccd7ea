#pragma once
#include "link/MorlaInterface.h"
#include "main/ProgramState.h"
#include "params/ParamView.h"

namespace veska::main {

/// Identify with the session's address; the status goes to linkStatus and answerStatus. On
/// success the identity and its copies (deviceType, baseDistance, measuringRange) are kept,
/// motorRecord is chosen from the motor table and the identity labels show it. A failure
/// leaves the previous values and shows nothing. True on success.
bool RefreshIdentity(ProgramState& state, params::ParamView& view);

/// The identity labels of the bottom panel for a connected sensor.
void ShowIdentity(const link::DeviceInfo& info, params::ParamView& view);

}  // namespace veska::main
