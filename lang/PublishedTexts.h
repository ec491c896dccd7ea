#pragma once
#include <mutex>
#include <string>

#include "lang/Language.h"

namespace veska::lang {

/// A copy of the text table for another thread: the thread that loads the language
/// publishes the table it applied, and the window's thread looks its own texts up in it.
class PublishedTexts {
  public:
    /// Replaces the copy by texts.
    void Publish(const TextTable& texts);
    /// The PROGRAM text of key; `fallback` while nothing was published.
    std::string Text(ProgramText key, const std::string& fallback) const;
    /// The entry of a section's key; `fallback` while nothing was published.
    std::string Get(Section section, int key, const std::string& fallback) const;

  private:
    mutable std::mutex mutex_;  ///< guards texts_ and published_
    TextTable texts_;
    bool published_ = false;
};

}  // namespace veska::lang
