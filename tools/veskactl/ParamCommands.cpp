#include <cstdint>
#include <string>
#include <vector>

#include "link/Status.h"
#include "params/ParamCodings.h"
#include "params/ParamGrid.h"
#include "params/ValueRange.h"
#include "tools/veskactl/Commands.h"
#include "tools/veskactl/Session.h"

namespace veska::tools {

namespace {

constexpr int32_t kPercentMax = 100;

/// Parses a grid row index 0..36.
bool ParseRow(const std::string& text, int& row) {
    int32_t value = 0;
    if (!params::ParseInteger(text, value) || value < 0 || value >= params::kGridParamCount) {
        return false;
    }
    row = value;
    return true;
}

/// The low `size` bytes of v as the sensor holds them.
uint32_t SensorBytes(int32_t v, uint8_t size) {
    const auto u = static_cast<uint32_t>(v);
    return size >= 4 ? u : u & ((uint32_t{1} << (8 * size)) - 1);
}

/// True when the grid would put the old text back for text: the applied value did not move
/// and a cell starting from another value keeps that other value too.
bool GridRestores(const Session& session, int row, const std::string& text, int32_t before) {
    for (int32_t step : {1, -1, 2, -2, 3}) {
        const int32_t start = before + step;
        if (params::ShownText(session.table, row, start, session.texts) == text) continue;
        params::ParamGrid probe = session.grid;
        params::ValueStores values = session.values;
        values.workValues[row] = start;
        probe.SetCurrentParam(row);
        probe.EditCell(row, text);
        if (!params::ApplyGridCell(probe, values)) return false;
        return values.workValues[row] == start;
    }
    return false;
}

}  // namespace

int RunParams(Session& session, const CommandArgs& /*args*/) {
    if (const int code = session.Connect(); code != kExitOk) return code;
    if (const int code = session.ReadAll(); code != kExitOk) return code;
    for (int i = 0; i < params::kGridParamCount; ++i) session.PrintRow(i);
    return kExitOk;
}

int RunGet(Session& session, const CommandArgs& args) {
    int row = 0;
    if (!ParseRow(args[0], row)) {
        return session.Fail(kExitUsage, "get: '" + args[0] + "' is not a parameter index 0..36");
    }
    if (const int code = session.Connect(); code != kExitOk) return code;
    if (const int code = session.ReadRow(row); code != kExitOk) return code;
    session.PrintRow(row);
    return kExitOk;
}

int RunSet(Session& session, const CommandArgs& args) {
    int row = 0;
    if (!ParseRow(args[0], row)) {
        return session.Fail(kExitUsage, "set: '" + args[0] + "' is not a parameter index 0..36");
    }
    const std::string& text = args[1];
    if (row == params::kRowDivisor) {
        return session.Fail(kExitUsage, "set: parameter 36 '" + session.RowName(row) +
                                            "' is not taken over from a text");
    }
    if (const int code = session.Connect(); code != kExitOk) return code;
    if (const int code = session.ReadRow(row); code != kExitOk) return code;

    const int32_t before = session.values.workValues[row];
    const std::string what =
        "set: parameter " + std::to_string(row) + " '" + session.RowName(row) + "'";
    if (row == params::kRowWindowBegin || row == params::kRowWindowEnd) {
        // The grid takes these from the range dialog as percentages.
        int32_t percent = 0;
        if (!params::ParseInteger(text, percent)) {
            return session.Fail(kExitFile, what + ": " + params::InvalidIntegerReport(text));
        }
        if (percent < 0 || percent > kPercentMax) {
            return session.Fail(kExitFile, what + ": " + text + " is outside 0..100 percent");
        }
        session.values.workValues[row] = params::WindowValueOfPercent(percent);
    } else {
        session.grid.SetCurrentParam(row);
        session.grid.EditCell(row, text);
        const params::GridResult applied = params::ApplyGridCell(session.grid, session.values);
        if (!applied) return session.Fail(kExitFile, what + ": " + applied.error);
        if (!params::IsControlByteRow(row) && session.values.workValues[row] == before &&
            GridRestores(session, row, text, before)) {
            return session.Fail(
                kExitFile, what + ": '" + text + "' is outside the allowed range; nothing sent");
        }
    }
    const int32_t v = session.values.workValues[row];
    if (!params::Writable(session.table, row, v, session.texts)) {
        return session.Fail(kExitFile,
                            what + ": " +
                                params::RefusedEntryText(session.table, row, text, session.texts) +
                                " Nothing sent.");
    }
    if (!LineSettingUsable(row, v)) {
        return session.Fail(kExitFile,
                            what + ": '" + text + "' is not a usable line setting; nothing sent");
    }

    session.device.SendParameter(row);
    const int32_t sendStatus = session.device.LastSendStatus();
    if (sendStatus != link::kStatusOk) return session.LinkFailure(what, sendStatus);
    if (row == params::kRowBaudRate && session.openStatus != link::kStatusOk) {
        return session.Fail(kExitPort, what + ": cannot re-open the port at " +
                                           std::to_string(session.conn.baudRate) + " bit/s");
    }
    if (const int code = session.ReadRow(row); code != kExitOk) return code;
    const uint8_t size = session.table[row].size;
    if (SensorBytes(session.values.sensorValues[row], size) != SensorBytes(v, size)) {
        return session.Fail(kExitLink, what + ": the sensor holds " +
                                           std::to_string(session.values.sensorValues[row]) +
                                           " after the write of " + std::to_string(v));
    }
    session.PrintRow(row);
    return kExitOk;
}

}  // namespace veska::tools
