#pragma once
#include <string>
#include <utility>

#include "lang/Language.h"

namespace veska::params::test {

/// Short, distinct PARAM VALUE words and grid titles for the parameter tests.
inline lang::TextTable TestTexts() {
    lang::TextTable texts;
    const char* words[34] = {
        "On",     "Off",    "Request", "FreeRun", "AL0",    "AL4",    "AL8",  "ALC", "Full",
        "Window", "Moving", "Block",   "CanOff",  "CanReq", "CanRun", "Std",  "Ext", "w17",
        "w18",    "w19",    "w20",     "w21",     "w22",    "w23",    "w24",  "w25", "LanOn",
        "w27",    "w28",    "w29",     "w30",     "AL40",   "AL44",   "AL48",
    };
    for (int key = 0; key < 34; ++key) texts.Set(lang::Section::ParamValue, key, words[key]);
    texts.Set(lang::Section::ParamTable, 0, "Parameter");
    texts.Set(lang::Section::ParamTable, 1, "Value");
    const std::pair<lang::ProgramText, const char*> program[] = {
        {lang::ProgramText::OutOfRange, "'%1': %2 is out of range. Allowed: %3."},
        {lang::ProgramText::NotInList, "'%1': %2 is not one of the allowed values. Allowed: %3."},
        {lang::ProgramText::AllowedRange, "Allowed: %1"},
        {lang::ProgramText::AllowedValues, "Allowed: %1"},
        {lang::ProgramText::RefusedWrite, "'%1' holds %2 (allowed: %3); nothing was sent."},
        {lang::ProgramText::UnsentHeading, "These values are not on the sensor:"},
        {lang::ProgramText::UnsentNote, "Not on the sensor. On the sensor: %1"},
        {lang::ProgramText::UnsentUnknown, "not known"},
        {lang::ProgramText::UnsentSensorValue, "on the sensor: %1"},
        {lang::ProgramText::DiscardQuestion, "Discard these edits?"},
        {lang::ProgramText::DiscardReadAll, "Read All replaces them with the sensor's values."},
        {lang::ProgramText::DiscardDefault,
         "Default replaces them with the sensor's default values."},
    };
    for (const auto& [key, text] : program)
        texts.Set(lang::Section::Program, static_cast<int>(key), text);
    return texts;
}

}  // namespace veska::params::test
