#include "tools/veskactl/Commands.h"

namespace veska::tools {

const std::vector<Command>& CommandTable() {
    static const std::vector<Command> table = {
        {"identify", "",
         "Prints the sensor's identity on one line:\n"
         "  type=T release=R serial=S base=B range=M   (base, range in mm)\n",
         0, 0, RunIdentify},
        {"params", "",
         "Reads parameters 0..36 and prints one line per parameter:\n"
         "  index TAB name TAB stored value (decimal) TAB shown text\n",
         0, 0, RunParams},
        {"get", "I", "Reads parameter I (0..36) and prints its line as 'params' does.\n", 1, 1,
         RunGet},
        {"set", "I VALUE",
         "Sets parameter I (0..36) from VALUE, the text as the operator types it into the\n"
         "grid (\"921600\" for the baud rate, a word of the pick list, hex digits for the CAN\n"
         "identifiers, a dotted address for the LAN rows, a percent 0..100 for the analog\n"
         "window rows 11 and 12), sends it and prints the row as read back. A text that does\n"
         "not convert or that the grid would refuse (out of range) is an error. Row 36 is not\n"
         "settable. A new baud rate or net address is followed at once.\n",
         2, 2, RunSet},
        {"save", "FILE",
         "Reads parameters 0..36 and writes them as a parameter file. An existing FILE is\n"
         "replaced only with --yes, and only once the new file is complete.\n",
         1, 1, RunSave},
        {"load", "FILE",
         "Reads a parameter file over the sensor's current set and sends all 37 parameters\n"
         "(36 down to 0). A file naming an unusable baud rate or net address is refused.\n",
         1, 1, RunLoad},
        {"store", "flash|default|factory",
         "flash: the sensor stores its current parameters in its flash (code 0xAA).\n"
         "default: the sensor restores its default parameters (code 0x69), and the\n"
         "  parameters are read back at 115200 baud, net address 1 if the port runs there.\n"
         "factory: the sensor stores its current parameters as the factory set (code 0x96)\n"
         "  and nothing else; the program's \"Write to Factory\" also sets 115200 baud first\n"
         "  and restores the defaults after: run 'set 2 115200', 'store factory',\n"
         "  'store default' and 'save FILE' for the same sequence.\n"
         "Each asks for confirmation: give --yes.\n",
         1, 1, RunStore},
        {"measure", "N",
         "Puts the sensor into Line mode (Mode of Run 0), polls N results and prints each\n"
         "distance in mm with three decimals, one per line: raw x range / divisor, with the\n"
         "identified range and the divisor of parameter 36 (50000 or 37500, else 1).\n",
         1, 1, RunMeasure},
        {"stream", "SECONDS [--out FILE]",
         "Streams for SECONDS (a decimal number, above 0, at most 86400) as the program's\n"
         "\"Stream start\" does: LAN mode off, Line mode, StartStream, then StopStream twice\n"
         "and LAN mode restored. Each sample is converted as 'measure' does. Prints one line\n"
         "  samples=N lost=L rate=R/s\n"
         "where L counts framing errors and gaps (a sample read that timed out). --out FILE\n"
         "writes the samples as \"Save data to file\" does: one value in mm with three\n"
         "decimals per line (CR LF), oldest first, the newest 65535 at most, without the\n"
         "very last sample.\n",
         1, 3, RunStream},
        {"motor", "status|home|forward N|load PERIOD COUNT|outputs MASK|mask MASK",
         "The stage's motor controller on --motor-port (no sensor needed):\n"
         "status: prints state=S and at-rest or moving (S the status nibble).\n"
         "home [--period US]: loads the homing move (PERIOD, 8500), sets output 1, runs home\n"
         "  and waits for rest, at most the longest homing of the motor table's stages.\n"
         "forward N [--period US]: loads (PERIOD, N), sets output 1, runs forward and waits\n"
         "  for rest, at most N x PERIOD plus 2 s. Both print the time the move took.\n"
         "  PERIOD defaults to 2000 us.\n"
         "load PERIOD COUNT: loads a move (step period [us], step count; 24 bits each).\n"
         "outputs MASK / mask MASK: the program's SetOutputs and MaskOutputs on a fresh\n"
         "  output word (0): 'outputs 8' switches output 8 on alone, 'mask 0' all off.\n"
         "A move that does not end in time is an error (exit 4).\n",
         1, 4, RunMotor},
        {"encoder", "identify|position|rate N",
         "The reference encoder on --encoder-port, opened as a run start opens it: at 115200\n"
         "bit/s it is asked to switch to 460800 bit/s (rate N: to N), then it is opened and\n"
         "identified there. rate N first sends the switch at the other usual rates too, so it\n"
         "reaches an encoder left at any of them.\n"
         "identify, rate N: print type=T release=R serial=S range=Uum rate=N.\n"
         "position: prints position=P mm count=C (C in 0.1 um).\n",
         1, 2, RunEncoder},
        {"board", "list|info|read [N]",
         "The analog measurement board through libVOKTDrv.so (no sensor needed):\n"
         "  list      one line per board: slot=S board=B\n"
         "  info      locks slot 0 (its image load takes over a second) and prints\n"
         "            board=B gain=G offset=O (0xHHHH)\n"
         "  read [N]  N live readings (default 1) of channel 0 as the bench shows them:\n"
         "            U=1.2345 V I=2.469 mA\n"
         "With VESKA_USB=sim the simulated driver library (libVOKTDrv-sim.so, built with the\n"
         "tests) gives a board of its own; with --simulate the virtual bench's board answers.\n"
         "A simulated board's lines end in \"simulated\".\n",
         1, 2, RunBoard},
        {"bench", "MODE... [--out DIR] [--seconds S] [--yes]",
         "Runs bench modes on the program's own run frame, in the given order on one\n"
         "connection, and stops at the first that does not complete. MODE is a caption of\n"
         "the bench form's mode list (any case: line, Calibration, 0_10V_Check ...) or its\n"
         "code (0, 129 ...). Each run is started as the Measure button does and ticks at the\n"
         "run's timer interval until the mode ends it. Progress goes to standard error.\n"
         "--out DIR: the folder of the records and of every file a run saves (default .);\n"
         "  each run writes DIR/<serial>_<caption>.json: mode, code, completed, started,\n"
         "  ended (UTC), sensor, motion, samples, results, files, notes.\n"
         "--seconds S: stops a run after S seconds as the Measure button does; a mode that\n"
         "  never ends by itself (Line, Nonline, Temperature, Pulse, AL_Check,\n"
         "  Laser_Adjustment) then counts as completed, any other as not.\n"
         "--yes: answer confirmations with OK and replace existing files.\n"
         "Ctrl-C (SIGINT) or SIGTERM stops the run as the Measure button does; it does not\n"
         "complete. Exit 0 when every run completed, 6 when one did not.\n"
         "Each run is also stored in the results store (--results) with its files; a store\n"
         "that does not take it is exit 9 (the files stay in DIR).\n",
         1, 64, RunBench},
        {"scan", "",
         "Looks for sensors: Identify at every rate and address 1..127 on the port of --port,\n"
         "or without --port on every serial port of the machine and every COMn of\n"
         "$VESKA_PORTS. The --baud and --address given are tried first. One line per sensor:\n"
         "port=P baud=B address=A type=T serial=S release=R base=B range=R\n"
         "Progress goes to standard error. Exit 0 when a sensor answered, else 4.\n",
         0, 0, RunScan},
        {"history", "[--serial N] [--since DATE] [--outcome O] [--limit N] [--json]",
         "Lists the stored results of the results store (--results), newest first, no\n"
         "sensor needed. --serial N: of that sensor; --since DATE: started at or after DATE\n"
         "(UTC; YYYY-MM-DD or YYYY-MM-DDTHH:MM[:SS]); --outcome O: passed, failed, error or\n"
         "aborted; --limit N: the newest N. One line per run:\n"
         "  started serial sequence step mode outcome reason   (TAB-separated)\n"
         "and one indented line per measurement: name value unit [low..high] outcome.\n"
         "--json: an array of objects (run_id, unit_id, serial, sensor, sequence, step, mode,\n"
         "started, ended, outcome, reason, station, operator, program_version,\n"
         "measurements). Exit 9 when the store cannot be read.\n",
         0, 9, RunHistory},
        {"results", "sync|status",
         "The results store (--results); no sensor needed.\n"
         "sync: delivers the results that wait in the local spool to the PostgreSQL server,\n"
         "  oldest first (a result already there is not stored twice); prints\n"
         "  delivered=N waiting=M. Exit 9 when some still wait.\n"
         "status: prints store=WHERE waiting=M.\n",
         1, 1, RunResults},
        {"sequence", "FILE --operator NAME [--station NAME] [--out DIR] [--yes]",
         "Runs one unit through the sequence FILE (TOML) on the connected sensor: each step's\n"
         "bench mode as 'bench' runs it (its record and files into --out DIR, default .),\n"
         "its figures judged against their limits, and every step and the unit's verdict\n"
         "stored in the results store (--results) with the runs' files. Prints per step\n"
         "  STEP: OUTCOME (reason)\n"
         "  and per figure: name value unit [low..high] outcome\n"
         "then 'unit SERIAL: PASSED|FAILED|ERROR|ABORTED' and 'run UNIT-ID'. --station\n"
         "defaults to the machine's name. Ctrl-C stops the running step and the sequence.\n"
         "Exit 0 passed, 7 failed, 8 error, 6 aborted, 9 a result was not stored (the\n"
         "runs' files stay), 5 the file does not parse.\n",
         1, 9, RunSequence},
        {"certificate", "--run ID --out FILE.pdf",
         "Writes the certificate of a unit as a PDF from the results store (--results)\n"
         "alone; ID is the run id of the unit's verdict or of any of its steps ('history\n"
         "--json', 'sequence'). It shows the sensor's identity, the sequence, date, station,\n"
         "operator, every step with its figures, limits and outcome, the steps' charts\n"
         "(verification before and after calibration) and the unit's outcome. No sensor\n"
         "needed. Exit 9 when the store cannot be read or holds no such unit, 5 when the\n"
         "file cannot be written.\n",
         4, 4, RunCertificate},
    };
    return table;
}

const Command* FindCommand(const std::string& name) {
    for (const Command& command : CommandTable()) {
        if (name == command.name) return &command;
    }
    return nullptr;
}

}  // namespace veska::tools
