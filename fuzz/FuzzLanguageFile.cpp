// Any bytes as a language file: the INI lookup with Windows rules must take them without
// a crash, and every lookup afterwards must answer.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    veska::platform::IniFile ini;
    ini.Parse(std::string_view(reinterpret_cast<const char*>(data), size));
    (void)ini.Get("MESSAGE", "Item_2", "2");
    (void)ini.GetInt("LANGUAGE", "Char", 1);
    return 0;
}
