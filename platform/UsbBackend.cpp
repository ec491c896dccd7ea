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

/// The backend the program chose; null when none.
std::atomic<D2xx*>& ChosenSlot() {
    static std::atomic<D2xx*> slot{nullptr};
    return slot;
}

std::string LowerCase(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
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

}  // namespace

D2xx* TracedUsbBackend(D2xx* backend) {
    if (backend == nullptr || !UsbTraceSelected()) return backend;
    Tracers& table = TracerTable();
    std::lock_guard lock(table.mutex);
    for (const auto& [traced, wrapper] : table.wrappers) {
        if (wrapper.get() == backend) return backend;  // already a wrapper
    }
    std::unique_ptr<D2xx>& wrapper = table.wrappers[backend];
    if (!wrapper) wrapper = MakeTracingD2xx(*backend, table.name);
    return wrapper.get();
}

UsbChoice ParseUsbChoice(const char* name) {
    const std::string choice = LowerCase(name != nullptr ? name : "");
    if (choice.empty() || choice == "libftdi") return UsbChoice::Real;
    if (choice == "sim") return UsbChoice::Simulated;
    return UsbChoice::Unknown;
}

D2xx* UsbBackend() { return TracedUsbBackend(ChosenSlot().load()); }

D2xx* RealUsbBackend() {
    static D2xx* const backend = MakeLibFtdiBackend().release();
    return backend;
}

void SetUsbTraceName(const std::string& name) {
    Tracers& table = TracerTable();
    std::lock_guard lock(table.mutex);
    table.name = name;
}

void SetUsbBackend(D2xx* backend) { ChosenSlot().store(backend); }

}  // namespace veska::platform
