#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace veska::bench {

/// The stages the bench can have, from "Motor.dat": at most five records.
struct MotorTable {
    static constexpr int kMaxRecords = 5;
    std::array<float, kMaxRecords> stepLength{};     ///< travel per motor step [mm]
    std::array<int32_t, kMaxRecords> travelStart{};  ///< stage start, against baseDistance [mm]
    std::array<int32_t, kMaxRecords>
        travelLength{};       ///< usable travel, against measuringRange [mm]
    int32_t recordCount = 0;  ///< valid rows, 0..5
    /// Why a record's values are not plausible (PlausibilityProblem); empty when they are.
    /// A refused record keeps its place, so that the sensors keep their record numbers, but
    /// no run moves the stage with it.
    std::array<std::string, kMaxRecords> refusal{};
};

/// Plausible values of a motor record: the step length [mm], travel start and travel [mm].
struct MotorRecordLimits {
    static constexpr double kMinStepMm = 0.0001;
    static constexpr double kMaxStepMm = 1.0;
    static constexpr int32_t kMaxTravelStartMm = 10000;
    static constexpr int32_t kMinTravelMm = 1;
    static constexpr int32_t kMaxTravelMm = 10000;
    /// The controller counts 24 bits: the whole travel must fit one move.
    static constexpr double kMaxTravelSteps = 16777215.0;
};

/// Why record i of the table has values no stage has ("Motor.dat record 0: step length
/// 0.0000001 mm is not plausible (0.0001 to 1 mm)"); empty when they are plausible.
std::string PlausibilityProblem(const MotorTable& table, int i);

/// Parses the text of a motor table file: three numbers per record (step length with an
/// optional point, then two whole numbers), anything but digits separating them; a number
/// that runs to the end of the text is not taken; at most five records. Each record's values
/// are checked (PlausibilityProblem into refusal).
MotorTable ParseMotorTable(const std::string& text);

/// The motor table's file name.
inline constexpr const char* kMotorTableFile = "Motor.dat";

/// Where the motor table is read from: currentDir/Motor.dat when that is a file, else
/// dataDir/Motor.dat (the installed copy) when that is one, else currentDir/Motor.dat.
std::string FindMotorTableFile(const std::string& currentDir, const std::string& dataDir);
/// The same for the current directory and the installed data folder.
std::string FindMotorTableFile();

/// The folders FindMotorTableFile() looks in, in order: the current directory, then the
/// installed data folder.
std::vector<std::string> MotorTableFolders();

/// Reads the file (an empty table when it is missing or unreadable).
MotorTable LoadMotorTable(const std::string& path);

/// The first record that holds the sensor's range: measuringRange <= travelLength and
/// baseDistance + measuringRange <= travelStart + travelLength; recordCount when none fits.
uint8_t ChooseMotorRecord(const MotorTable& table, int16_t baseDistance, int16_t measuringRange);

}  // namespace veska::bench
