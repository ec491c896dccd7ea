#pragma once
#include <string>

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
    return texts;
}

}  // namespace veska::params::test
