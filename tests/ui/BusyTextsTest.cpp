// The busy notes of the status bar: each task's note in the language applied.
#include <gtest/gtest.h>

#include "lang/Language.h"
#include "lang/PublishedTexts.h"
#include "ui/BusyTexts.h"

namespace veska::ui {
namespace {

TEST(BusyText, NamesTheTaskInTheLanguageAppliedAndFallsBackToTheGeneralNote) {
    lang::PublishedTexts published;
    // Before any language is applied the task's own name shows.
    EXPECT_EQ(BusyText("Connecting…", published), "Connecting…");
    EXPECT_EQ(BusyText("", published), "Busy…");

    lang::TextTable german;
    ASSERT_TRUE(lang::LoadLanguage(VESKA_SOURCE_DIR "/Language", german, "DE.INI"));
    published.Publish(german);
    EXPECT_EQ(BusyText("Connecting…", published), "Verbinde…");
    // A timer's tick is named by what it does.
    EXPECT_EQ(BusyText("TimerMain", published), german.Text(lang::ProgramText::BusyMeasuring));
    EXPECT_EQ(BusyText("TimerMore", published), german.Text(lang::ProgramText::BusyResizing));
    // A task without a row of its own gets the general note, never its English name.
    EXPECT_EQ(BusyText("Doing something new…", published), "Beschäftigt…");
    EXPECT_EQ(BusyText("", published), "Beschäftigt…");
}

TEST(BusyText, EveryNoteHasItsOwnWordingInBothShippedLanguages) {
    lang::TextTable english, german;
    ASSERT_TRUE(lang::LoadLanguage(VESKA_SOURCE_DIR "/Language", english, "EN.INI"));
    ASSERT_TRUE(lang::LoadLanguage(VESKA_SOURCE_DIR "/Language", german, "DE.INI"));
    for (int k = static_cast<int>(lang::ProgramText::Busy);
         k <= static_cast<int>(lang::ProgramText::BusyStatus); ++k) {
        const auto key = static_cast<lang::ProgramText>(k);
        EXPECT_NE(english.Text(key), german.Text(key)) << k;
        EXPECT_NE(english.Text(key), std::to_string(static_cast<int>(key))) << "missing " << k;
    }
}

}  // namespace
}  // namespace veska::ui
