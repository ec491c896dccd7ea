#pragma once
#include <string>

#include "lang/PublishedTexts.h"

namespace veska::ui {

/// The note the window shows while the logic runs a task: the task's own text in the language
/// applied, found by the task's name ("Connecting…", "TimerMain"); the general busy note for a
/// name without one. Before the first language is applied the name itself.
std::string BusyText(const std::string& taskName, const lang::PublishedTexts& texts);

}  // namespace veska::ui
