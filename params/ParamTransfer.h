#pragma once
#include <functional>
#include <string>

#include "lang/Language.h"
#include "link/ConnectionState.h"
#include "link/MorlaInterface.h"
#include "params/ParamGrid.h"
#include "params/ParamTable.h"
#include "params/ParamView.h"
#include "platform/Clock.h"

namespace veska::params {

/// Everything the parameter operations work on; all references outlive the operations.
struct ParamContext {
    link::TMORLAInterface& sensor;
    link::ConnectionState& conn;
    ParamTable& table;
    ValueStores& values;
    ParamGrid& grid;
    const lang::TextTable& texts;
    ParamView& view;
    platform::Clock& clock;
    /// Re-opens the sensor port at conn.baudRate (after a baud-rate send); reports its own
    /// failure. Null: the port is not re-opened.
    std::function<bool()> openSensorPort;
    /// Writes the factory parameter file (last step of "Write to Factory"). Null: skipped.
    std::function<void()> writeFactoryParamFile;
};

/// Moves parameter values between the value stores and the sensor, with the grid's menu
/// actions. Every exchange leaves its status in conn.linkStatus and conn.answerStatus.
class ParamTransfer {
public:
    explicit ParamTransfer(ParamContext context);

    /// Writes workValues[i] (its low size bytes, highest address first) and makes the
    /// host-side effects of rows 2, 3, 40..43.
    void SendParameter(int i);
    /// Reads row i into sensorValues[i]; true on success.
    bool FetchParameter(int i);
    /// Rows 36 down to 0; failures do not stop the loop.
    void SendAllParameters();
    /// Rows 0..36, up to three attempts each; stops at a row that fails three times.
    bool FetchAllParameters();
    bool CompareParameter(int i);
    bool CompareAllParameters();
    void StoreToFlash();
    void RestoreDefaults();
    void StoreAsFactory();
    /// sensorValues[0..count-1] into workValues.
    void CopySensorToWork(int count);
    /// BuildParamGrid and a grid refresh in the view.
    void RebuildGrid();

    // PopupMenuParam actions.
    void PopupMenuLoadClick();
    void PopupMenuReadClick();
    void PopupMenuCompareClick();
    void PopupMenuLoadAllClick();
    void PopupMenuReadAllClick();
    void PopupMenuCompareAllClick();
    void PopupMenuFLASHClick();
    void PopupMenuDefaultClick();
    void PopupMenuFactoryClick();

private:
    ParamContext ctx_;
};

}  // namespace veska::params
