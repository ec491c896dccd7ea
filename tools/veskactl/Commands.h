#pragma once
#include <string>
#include <vector>

namespace veska::tools {

/// Exit codes of veskactl; each failure class has its own.
enum ExitCode : int {
    kExitOk = 0,
    kExitUsage = 2,       ///< bad command line, or a confirmation refused for want of --yes
    kExitPort = 3,        ///< the sensor port did not open
    kExitLink = 4,        ///< a sensor exchange failed (the line names the status)
    kExitFile = 5,        ///< a file could not be written or read, or a text did not convert
    kExitIncomplete = 6,  ///< a bench run was stopped (signal, time limit) or lost its sensor
    kExitFailed = 7,      ///< a bench run measured, but its result is not valid (a blind sweep)
    kExitError = 8,       ///< a bench run's device, upload or file failed
    kExitStore = 9,       ///< the results store could not be opened, read or written
    /// SIGINT or SIGTERM ended a long command; it stopped as its own end would
    kExitInterrupted = 130,
};

class Session;

using CommandArgs = std::vector<std::string>;
/// Runs one command on an opened session; returns the exit code.
using CommandFunction = int (*)(Session& session, const CommandArgs& args);

/// One entry of the dispatcher table.
struct Command {
    const char* name;
    const char* synopsis;  ///< arguments as shown in the usage, e.g. "I VALUE"
    const char* help;      ///< one paragraph for --help; lines end with '\n'
    size_t minArgs;
    size_t maxArgs;
    CommandFunction run;
};

/// The dispatcher table, in the order --help lists it. A new command is a function in its
/// own source file, declared below and entered in the table in Commands.cpp.
const std::vector<Command>& CommandTable();
const Command* FindCommand(const std::string& name);

// Commands (one source file each group).
int RunIdentify(Session& session, const CommandArgs& args);  // IdentifyCommand.cpp
int RunParams(Session& session, const CommandArgs& args);    // ParamCommands.cpp
int RunGet(Session& session, const CommandArgs& args);
int RunSet(Session& session, const CommandArgs& args);
int RunSave(Session& session, const CommandArgs& args);  // FileCommands.cpp
int RunLoad(Session& session, const CommandArgs& args);
int RunStore(Session& session, const CommandArgs& args);    // StoreCommand.cpp
int RunMeasure(Session& session, const CommandArgs& args);  // MeasureCommand.cpp
int RunStream(Session& session, const CommandArgs& args);   // StreamCommand.cpp
int RunMotor(Session& session, const CommandArgs& args);    // MotorCommands.cpp
int RunEncoder(Session& session, const CommandArgs& args);  // EncoderCommands.cpp
int RunBoard(Session& session, const CommandArgs& args);    // BoardCommands.cpp
int RunBench(Session& session, const CommandArgs& args);    // BenchCommand.cpp
int RunScan(Session& session, const CommandArgs& args);     // ScanCommand.cpp
int RunHistory(Session& session, const CommandArgs& args);  // ResultsCommands.cpp
int RunResults(Session& session, const CommandArgs& args);
int RunSequence(Session& session, const CommandArgs& args);     // SequenceCommand.cpp
int RunCertificate(Session& session, const CommandArgs& args);  // CertificateCommand.cpp

}  // namespace veska::tools
