#include <atomic>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/D2xx.h"
#include "platform/D2xxTrace.h"
#include "platform/TraceLine.h"

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

/// Tracing wrappers of the backends handed out while VESKA_TRACE selects "usb", one per
/// backend; never destroyed, like the backends.
struct Tracers {
    std::mutex mutex;  ///< guards every member below
    std::string name = "usb";
    std::map<D2xx*, std::unique_ptr<D2xx>> wrappers;
};

Tracers& TracerTable() {
    static Tracers* const table = new Tracers;
    return *table;
}

bool UsbTraceSelected() {
    static const bool selected = TraceSelects(std::getenv("VESKA_TRACE"), "usb");
    return selected;
}

D2xx* Traced(D2xx* backend) {
    if (backend == nullptr || !UsbTraceSelected()) return backend;
    Tracers& table = TracerTable();
    std::lock_guard lock(table.mutex);
    std::unique_ptr<D2xx>& wrapper = table.wrappers[backend];
    if (!wrapper) wrapper = MakeTracingD2xx(*backend, table.name);
    return wrapper.get();
}

}  // namespace

D2xx* UsbBackend() {
    if (D2xx* installed = OverrideSlot().load()) return Traced(installed);
    return Traced(ChosenBackend());
}

void SetUsbTraceName(const std::string& name) {
    Tracers& table = TracerTable();
    std::lock_guard lock(table.mutex);
    table.name = name;
}

void SetUsbBackendOverride(D2xx* backend) { OverrideSlot().store(backend); }

}  // namespace veska::platform
