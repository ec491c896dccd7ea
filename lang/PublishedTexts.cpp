#include "lang/PublishedTexts.h"

namespace veska::lang {

void PublishedTexts::Publish(const TextTable& texts) {
    const std::lock_guard<std::mutex> lock(mutex_);
    texts_ = texts;
    published_ = true;
}

std::string PublishedTexts::Text(ProgramText key, const std::string& fallback) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return published_ ? texts_.Text(key) : fallback;
}

std::string PublishedTexts::Get(Section section, int key, const std::string& fallback) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return published_ ? texts_.Get(section, key) : fallback;
}

}  // namespace veska::lang
