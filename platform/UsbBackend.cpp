#include <atomic>
#include <cstdlib>
#include <string>

#include "platform/D2xx.h"

namespace veska::platform {

namespace {

/// The backend installed by SetUsbBackendOverride; null when none.
std::atomic<D2xx*>& OverrideSlot() {
    static std::atomic<D2xx*> slot{nullptr};
    return slot;
}

std::string LowerCase(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

/// The backend VESKA_USB names, made on the first call (thread-safe static init). It is
/// never destroyed, so that handles closed by other objects at exit stay valid to close.
D2xx* ChosenBackend() {
    static D2xx* const backend = []() -> D2xx* {
        const char* env = std::getenv("VESKA_USB");
        const std::string choice = LowerCase(env != nullptr && *env != '\0' ? env : "libftdi");
        if (choice == "libftdi") return MakeLibFtdiBackend().release();
        return nullptr;  // "sim" without an installed simulator, or an unknown name
    }();
    return backend;
}

}  // namespace

D2xx* UsbBackend() {
    if (D2xx* installed = OverrideSlot().load()) return installed;
    return ChosenBackend();
}

void SetUsbBackendOverride(D2xx* backend) { OverrideSlot().store(backend); }

}  // namespace veska::platform
