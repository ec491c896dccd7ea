// veskactl board: the analog measurement board through the driver the program chose
// (libVOKTDrv.so, the simulated driver library, or the virtual bench's board), with the
// program's own board client. A simulated board's lines end in "simulated".
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "analog/LoadedDriver.h"
#include "analog/VoktDriver.h"
#include "analog/VoktInterface.h"
#include "driver/VOKTDrv.h"
#include "params/ParamCodings.h"
#include "simhost/ProgramBackends.h"
#include "tools/veskactl/Commands.h"
#include "tools/veskactl/Session.h"

namespace veska::tools {

namespace {

constexpr int32_t kMaxReadings = 1000000;
constexpr uint32_t kPollMs = 5;              ///< between two reads of the board's queue
constexpr uint32_t kReadingGiveUpMs = 2000;  ///< no sample for this long: the board failed

/// Keeps the latest reading the client produced.
struct ReadingSink final : analog::BoardLabels {
    bool fresh = false;
    void SetVoltageCaption(const std::string&) override { fresh = true; }
    void SetCurrentCaption(const std::string&) override {}
};

std::string DriverFailure(const char* call, int32_t result) {
    static const char* const meanings[] = {"success",   "device failed", "driver not ready",
                                           "bad index", "no channel",    "bad argument"};
    const char* meaning = result >= 0 && result <= 5 ? meanings[result] : "unknown";
    return std::string("board: ") + call + ": result " + std::to_string(result) + " (" + meaning +
           ")";
}

/// " simulated" for a simulated board's lines, "" otherwise.
const char* Mark(const analog::VoktDriver& driver) {
    return driver.Simulated() ? " simulated" : "";
}

/// The driver the program chose; null with a message when a driver library is missing.
std::unique_ptr<analog::VoktDriver> ChosenDriver(Session& session) {
    std::unique_ptr<analog::VoktDriver> driver =
        simhost::ChooseBoardDriver(session.usb, session.bench, session.clock);
    const auto* loaded = dynamic_cast<const analog::LoadedDriver*>(driver.get());
    if (loaded != nullptr && driver->Simulated() && !loaded->Ready()) {
        session.Fail(kExitPort, "board: the simulated driver library: " + loaded->Error());
        return nullptr;
    }
    return driver;
}

int BoardList(Session& session) {
    const std::unique_ptr<analog::VoktDriver> driver = ChosenDriver(session);
    if (!driver) return kExitPort;
    uint32_t count = 0;
    if (const int32_t r = driver->GetDevicesCnt(&count); r != VOKTDRV_OK)
        return session.Fail(kExitPort, DriverFailure("GetDevicesCnt", r));
    for (uint32_t slot = 0; slot < count; ++slot) {
        uint32_t number = 0;
        if (const int32_t r = driver->GetDeviceSerialNumber(slot, &number); r != VOKTDRV_OK)
            return session.Fail(kExitPort, DriverFailure("GetDeviceSerialNumber", r));
        session.out << "slot=" << slot << " board=" << number << Mark(*driver) << '\n';
    }
    return kExitOk;
}

/// Opens the board as the program does at start-up; prints why not.
int OpenBoard(Session& session, analog::VoktDriver& driver, analog::TVOKT_Interface& board) {
    if (board.OpenBoard()) return kExitOk;
    uint32_t count = 0;
    const int32_t r = driver.GetDevicesCnt(&count);
    if (r != VOKTDRV_OK) return session.Fail(kExitPort, DriverFailure("GetDevicesCnt", r));
    if (count == 0) return session.Fail(kExitPort, "board: no board found");
    return session.Fail(kExitPort, "board: slot 0 could not be locked or its coefficients read");
}

int BoardInfo(Session& session) {
    const std::unique_ptr<analog::VoktDriver> driver = ChosenDriver(session);
    if (!driver) return kExitPort;
    analog::TVOKT_Interface board(*driver, session.clock);
    if (const int code = OpenBoard(session, *driver, board); code != kExitOk) return code;
    uint32_t number = 0;
    (void)driver->GetDeviceSerialNumber(0, &number);
    char line[128];
    std::snprintf(line, sizeof line, "board=%u gain=%.9g offset=%u (0x%04X)%s\n", number,
                  static_cast<double>(board.GetGain()), board.GetOffset(), board.GetOffset(),
                  Mark(*driver));
    session.out << line;
    board.CloseBoard();
    return kExitOk;
}

int BoardRead(Session& session, int32_t count) {
    const std::unique_ptr<analog::VoktDriver> driver = ChosenDriver(session);
    if (!driver) return kExitPort;
    analog::TVOKT_Interface board(*driver, session.clock);
    if (const int code = OpenBoard(session, *driver, board); code != kExitOk) return code;
    if (!board.StartSweep()) {
        board.CloseBoard();
        return session.Fail(kExitLink, "board: the acquisition did not start");
    }
    ReadingSink sink;
    for (int32_t n = 0; n < count; ++n) {
        sink.fresh = false;
        for (uint32_t waited = 0; !sink.fresh; waited += kPollMs) {
            if (waited >= kReadingGiveUpMs) {
                board.CloseBoard();
                return session.Fail(
                    kExitLink, "board: no sample for " + std::to_string(kReadingGiveUpMs) + " ms");
            }
            session.clock.Sleep(kPollMs);
            board.UpdateBoardReading(true, &sink);
        }
        char line[96];
        std::snprintf(line, sizeof line, "U=%.4f V I=%.3f mA%s\n",
                      static_cast<double>(board.BoardVoltage()),
                      static_cast<double>(board.BoardCurrent()), Mark(*driver));
        session.out << line << std::flush;
    }
    board.StopBoard();
    board.CloseBoard();
    return kExitOk;
}

}  // namespace

int RunBoard(Session& session, const CommandArgs& args) {
    const std::string& what = args[0];
    if (what == "list" && args.size() == 1) return BoardList(session);
    if (what == "info" && args.size() == 1) return BoardInfo(session);
    if (what == "read") {
        int32_t count = 1;
        if (args.size() == 2 &&
            (!params::ParseInteger(args[1], count) || count < 1 || count > kMaxReadings)) {
            return session.Fail(kExitUsage, "board read: '" + args[1] + "' is not a count 1.." +
                                                std::to_string(kMaxReadings));
        }
        return BoardRead(session, count);
    }
    return session.Fail(kExitUsage, "usage: veskactl board list|info|read [N]");
}

}  // namespace veska::tools
