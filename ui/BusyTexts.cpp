#include "ui/BusyTexts.h"

#include <string_view>

namespace veska::ui {

namespace {

struct BusyRow {
    std::string_view taskName;  ///< as the window posts the task (or names the timer)
    lang::ProgramText text;
};

constexpr BusyRow kBusyRows[] = {
    {"Connecting…", lang::ProgramText::BusyConnecting},
    {"Disconnecting…", lang::ProgramText::BusyDisconnecting},
    {"Measuring…", lang::ProgramText::BusyMeasuring},
    {"TimerMain", lang::ProgramText::BusyMeasuring},
    {"Stopping the run…", lang::ProgramText::BusyStopping},
    {"Switching the stream…", lang::ProgramText::BusyStream},
    {"StreamDisplay", lang::ProgramText::BusyStreaming},
    {"Setting zero…", lang::ProgramText::BusyZero},
    {"Choosing the port…", lang::ProgramText::BusyPort},
    {"Choosing the baud rate…", lang::ProgramText::BusyBaud},
    {"Choosing the net address…", lang::ProgramText::BusyAddress},
    {"Sending the parameter…", lang::ProgramText::BusyLoad},
    {"Reading the parameter…", lang::ProgramText::BusyRead},
    {"Comparing the parameter…", lang::ProgramText::BusyCompare},
    {"Sending all parameters…", lang::ProgramText::BusyLoadAll},
    {"Reading parameters…", lang::ProgramText::BusyReadAll},
    {"Comparing all parameters…", lang::ProgramText::BusyCompareAll},
    {"Storing the parameters in flash…", lang::ProgramText::BusyFlash},
    {"Restoring the defaults…", lang::ProgramText::BusyDefault},
    {"Storing the factory set…", lang::ProgramText::BusyFactory},
    {"Writing the parameter file…", lang::ProgramText::BusyWriteFile},
    {"Reading the parameter file…", lang::ProgramText::BusyReadFile},
    {"Saving the data…", lang::ProgramText::BusySaveData},
    {"Saving the CSV file…", lang::ProgramText::BusySaveCsv},
    {"Clearing the chart…", lang::ProgramText::BusyClearChart},
    {"Saving the chart image…", lang::ProgramText::BusySaveImage},
    {"Clearing the zero offset…", lang::ProgramText::BusyClearZero},
    {"Changing the scaling…", lang::ProgramText::BusyScaling},
    {"Taking the cell over…", lang::ProgramText::BusyCell},
    {"Opening the range dialog…", lang::ProgramText::BusyRangeDialog},
    {"Choosing the motor port…", lang::ProgramText::BusyMotorPort},
    {"Choosing the encoder port…", lang::ProgramText::BusyEncoderPort},
    {"Choosing the bench mode…", lang::ProgramText::BusyBenchMode},
    {"Starting…", lang::ProgramText::BusyStarting},
    {"Resizing…", lang::ProgramText::BusyResizing},
    {"TimerMore", lang::ProgramText::BusyResizing},
    {"Changing the language…", lang::ProgramText::BusyLanguage},
    {"Freeing the port for the search…", lang::ProgramText::BusySearch},
    {"Restoring the last choices…", lang::ProgramText::BusyRestoring},
    {"Closing…", lang::ProgramText::BusyClosing},
    {"TimerAnswer", lang::ProgramText::BusyWatchdog},
    {"LinkStatus", lang::ProgramText::BusyStatus},
    {"Starting the sequence…", lang::ProgramText::BusySequenceStart},
    {"Stopping the sequence…", lang::ProgramText::BusySequenceStop},
    {"Writing the certificate…", lang::ProgramText::BusyCertificate},
    {"Choosing the results store…", lang::ProgramText::BusyResultsStore},
    {"Delivering waiting results…", lang::ProgramText::BusyDelivering},
};

}  // namespace

std::string BusyText(const std::string& taskName, const lang::PublishedTexts& texts) {
    for (const BusyRow& row : kBusyRows) {
        if (row.taskName == taskName) return texts.Text(row.text, taskName);
    }
    return texts.Text(lang::ProgramText::Busy, taskName.empty() ? "Busy…" : taskName);
}

}  // namespace veska::ui
