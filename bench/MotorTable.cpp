#include "bench/MotorTable.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace veska::bench {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void SkipNonDigits(const std::string& text, size_t& p) {
    while (p < text.size() && !IsDigit(text[p])) ++p;
}

/// A value as a person writes it: fixed point, no trailing zeros (0.0000001, 0.0125, 1).
std::string PlainNumber(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.9f", value);
    std::string s = text;
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    return s;
}

}  // namespace

MotorTable ParseMotorTable(const std::string& text) {
    MotorTable table;
    size_t p = 0;
    while (table.recordCount < MotorTable::kMaxRecords) {
        SkipNonDigits(text, p);
        if (p >= text.size()) break;
        size_t end = p;
        while (end < text.size() && (IsDigit(text[end]) || text[end] == '.')) ++end;
        if (end >= text.size()) break;  // a number must be followed by another character
        float step = 0.0f;
        // A run that is not one number ("1.2.3") ends the table; the records before it stay.
        const auto stepResult = std::from_chars(text.data() + p, text.data() + end, step);
        if (stepResult.ec != std::errc() || stepResult.ptr != text.data() + end) break;
        p = end;

        int32_t whole[2] = {0, 0};
        bool complete = true;
        for (int32_t& number : whole) {
            SkipNonDigits(text, p);
            end = p;
            while (end < text.size() && IsDigit(text[end])) ++end;
            if (p >= text.size() || end >= text.size()) {
                complete = false;
                break;
            }
            const auto result = std::from_chars(text.data() + p, text.data() + end, number);
            if (result.ec != std::errc()) {
                complete = false;
                break;
            }
            p = end;
        }
        if (!complete) break;
        const int i = table.recordCount++;
        table.stepLength[i] = step;
        table.travelStart[i] = whole[0];
        table.travelLength[i] = whole[1];
        table.refusal[i] = PlausibilityProblem(table, i);
    }
    return table;
}

std::string PlausibilityProblem(const MotorTable& table, int i) {
    using L = MotorRecordLimits;
    if (i < 0 || i >= table.recordCount || i >= MotorTable::kMaxRecords) return {};
    const std::string record = std::string(kMotorTableFile) + " record " + std::to_string(i) + ": ";
    const double step = table.stepLength[i];
    const int32_t start = table.travelStart[i];
    const int32_t travel = table.travelLength[i];
    // Compared in single precision, as the table holds it: "0.0001" is just below 0.0001.
    const float stepRead = table.stepLength[i];
    if (!(stepRead >= static_cast<float>(L::kMinStepMm) &&
          stepRead <= static_cast<float>(L::kMaxStepMm))) {
        return record + "step length " + PlainNumber(step) + " mm is not plausible (" +
               PlainNumber(L::kMinStepMm) + " to " + PlainNumber(L::kMaxStepMm) + " mm)";
    }
    if (start < 0 || start > L::kMaxTravelStartMm) {
        return record + "travel start " + std::to_string(start) + " mm is not plausible (0 to " +
               std::to_string(L::kMaxTravelStartMm) + " mm)";
    }
    if (travel < L::kMinTravelMm || travel > L::kMaxTravelMm) {
        return record + "travel " + std::to_string(travel) + " mm is not plausible (" +
               std::to_string(L::kMinTravelMm) + " to " + std::to_string(L::kMaxTravelMm) + " mm)";
    }
    if (travel / step > L::kMaxTravelSteps) {
        return record + "travel " + std::to_string(travel) + " mm at " + PlainNumber(step) +
               " mm a step is more steps than the motor controller counts (16777215)";
    }
    return {};
}

std::string FindMotorTableFile(const std::string& currentDir, const std::string& dataDir) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path local = fs::path(currentDir) / kMotorTableFile;
    if (fs::is_regular_file(local, ec)) return local.string();
    if (!dataDir.empty()) {
        const fs::path installed = fs::path(dataDir) / kMotorTableFile;
        if (fs::is_regular_file(installed, ec)) return installed.string();
    }
    return local.string();
}

std::vector<std::string> MotorTableFolders() {
#ifdef VESKA_DATA_DIR
    const std::string dataDir = VESKA_DATA_DIR;
#else
    const std::string dataDir;
#endif
    std::error_code ec;
    std::vector<std::string> folders{std::filesystem::current_path(ec).string()};
    if (!dataDir.empty()) folders.push_back(dataDir);
    return folders;
}

std::string FindMotorTableFile() {
    const std::vector<std::string> folders = MotorTableFolders();
    return FindMotorTableFile(folders.front(), folders.size() > 1 ? folders[1] : std::string());
}

MotorTable LoadMotorTable(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return MotorTable{};
    std::ostringstream text;
    text << file.rdbuf();
    return ParseMotorTable(text.str());
}

uint8_t ChooseMotorRecord(const MotorTable& table, int16_t baseDistance, int16_t measuringRange) {
    for (int i = 0; i < table.recordCount; ++i) {
        // In 64 bits: start + length of two large file numbers must not overflow.
        const int64_t travelEnd = int64_t{table.travelStart[i]} + table.travelLength[i];
        if (measuringRange <= table.travelLength[i] &&
            int64_t{baseDistance} + measuringRange <= travelEnd) {
            return static_cast<uint8_t>(i);
        }
    }
    return static_cast<uint8_t>(table.recordCount);
}

}  // namespace veska::bench
