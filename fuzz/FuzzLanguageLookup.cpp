// Any Language.ini and language file, found by the case-blind file lookup: the selector's
// File_Language may name anything (other cases, folders, absolute paths, nonsense), and
// every text lookup afterwards must answer. Input: Language.ini, a 0 byte, the language
// file (written as "en.ini", so the default EN.INI is found only without regard to case).
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "lang/Language.h"

namespace {

const std::string kFallback = "/tmp";

/// The fuzzer's scratch folder, made at the first input and removed when the process exits.
struct ScratchFolder {
    ScratchFolder() {
        char pattern[] = "/tmp/veska-fuzz-lang-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        path = made ? made : "";
    }
    ~ScratchFolder() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
    std::string path;
};

const std::string& Folder() {
    static const ScratchFolder folder;
    return folder.path.empty() ? kFallback : folder.path;
}

void WriteFile(const std::string& path, std::string_view text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find('\0');
    WriteFile(Folder() + "/Language.ini", input.substr(0, split));
    WriteFile(Folder() + "/en.ini",
              split == std::string_view::npos ? std::string_view{} : input.substr(split + 1));
    veska::lang::TextTable texts;
    (void)veska::lang::LoadLanguage(Folder(), texts);
    for (int key = -1; key <= 143; key += 13) {
        (void)texts.Message(key);
        (void)texts.Parameter(key);
    }
    (void)veska::lang::ToUtf8(input);
    return 0;
}
