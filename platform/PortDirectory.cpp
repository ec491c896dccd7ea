#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/SerialPort.h"

namespace veska::platform {

namespace {

constexpr char kDevicePrefix[] = "\\\\.\\";  // the Win32 device namespace, "\\.\"
constexpr int kHighestComPort = 256;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
}

/// The port number of "COMn" (any case, n from 1 without leading zeros); none otherwise.
std::optional<int> ComPortNumber(const std::string& name) {
    if (name.size() < 4 || name.size() > 6 || !EqualNoCase(name.substr(0, 3), "com")) return {};
    const std::string digits = name.substr(3);
    if (digits[0] < '1' || digits[0] > '9') return {};
    int n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return {};
        n = n * 10 + (c - '0');
    }
    if (n > kHighestComPort) return {};
    return n;
}

/// The port directory the program named; guarded, as port names resolve on any thread.
struct NamedPortDirectory {
    std::mutex mutex;
    std::string dir;
};

NamedPortDirectory& ChosenPortDirectory() {
    static NamedPortDirectory* const chosen = new NamedPortDirectory;  // outlives every port
    return *chosen;
}

bool EntryExists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;  // a dangling link counts: it names the port
}

std::vector<std::string> DirectoryNames(const std::string& dir) {
    std::vector<std::string> names;
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) return names;
    while (const dirent* e = readdir(d)) {
        if (e->d_name[0] != '.') names.emplace_back(e->d_name);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

/// The path of the entry named name in dir, compared without regard to case (an exact
/// match first); empty when there is none.
std::string FindEntry(const std::string& dir, const std::string& name) {
    if (dir.empty() || name.empty() || name.find('/') != std::string::npos) return {};
    if (EntryExists(dir + "/" + name)) return dir + "/" + name;
    for (const std::string& entry : DirectoryNames(dir)) {
        if (EqualNoCase(entry, name)) return dir + "/" + entry;
    }
    return {};
}

/// Sorts device names so that ttyUSB2 comes before ttyUSB10.
void SortNatural(std::vector<std::string>& names) {
    auto split = [](const std::string& s) {
        size_t i = s.size();
        while (i > 0 && s[i - 1] >= '0' && s[i - 1] <= '9') --i;
        const std::string digits = s.substr(i);
        return std::make_pair(s.substr(0, i),
                              digits.empty() ? -1L : std::strtol(digits.c_str(), nullptr, 10));
    };
    std::sort(names.begin(), names.end(),
              [&](const std::string& a, const std::string& b) { return split(a) < split(b); });
}

/// The canonical path of path with every link followed; empty when it does not resolve.
std::string CanonicalPath(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return {};
    std::string result(resolved);
    std::free(resolved);
    return result;
}

bool IsCharacterDevice(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

/// "ttyS3", "ttyUSB0", "ttyACM12": one of the serial prefixes followed by a number.
bool IsSerialDeviceName(const std::string& name) {
    for (const char* prefix : {"ttyS", "ttyUSB", "ttyACM"}) {
        const size_t n = std::char_traits<char>::length(prefix);
        if (name.size() <= n || name.compare(0, n, prefix) != 0) continue;
        return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(n), name.end(),
                           [](char c) { return c >= '0' && c <= '9'; });
    }
    return false;
}

/// A UART slot the kernel reserved without finding a chip behind it: its "type" attribute
/// reads 0 (PORT_UNKNOWN), as ttyS4 … ttyS31 do on most PCs.
bool IsEmptyUartSlot(const std::string& sysTtyDir, const std::string& name) {
    std::FILE* f = std::fopen((sysTtyDir + "/" + name + "/type").c_str(), "r");
    if (f == nullptr) return false;
    int type = -1;
    const bool read = std::fscanf(f, "%d", &type) == 1;
    std::fclose(f);
    return read && type == 0;
}

}  // namespace

void SetPortDirectory(const std::string& dir) {
    NamedPortDirectory& chosen = ChosenPortDirectory();
    std::lock_guard lock(chosen.mutex);
    chosen.dir = dir;
}

std::string PortDirectory() {
    NamedPortDirectory& chosen = ChosenPortDirectory();
    std::lock_guard lock(chosen.mutex);
    return chosen.dir;
}

std::string ResolvePortName(const std::string& name) {
    std::string bare = name;
    if (bare.compare(0, sizeof kDevicePrefix - 1, kDevicePrefix) == 0) {
        bare.erase(0, sizeof kDevicePrefix - 1);
    }
    if (!bare.empty() && bare[0] == '/') return bare;
    const std::string dir = PortDirectory();
    if (const std::optional<int> n = ComPortNumber(bare)) {
        const std::string entry = FindEntry(dir, "COM" + std::to_string(*n));
        return entry.empty() ? "/dev/ttyS" + std::to_string(*n - 1) : entry;
    }
    const std::string entry = FindEntry(dir, bare);
    return entry.empty() ? name : entry;
}

std::vector<std::string> ListSerialDevices(const SerialDeviceRoots& roots) {
    std::vector<std::string> ports;
    std::vector<std::string> named;  // canonical paths of the devices a by-id name stands for
    for (const std::string& name : DirectoryNames(roots.byIdDir)) {
        const std::string path = roots.byIdDir + "/" + name;
        if (!IsCharacterDevice(path)) continue;
        ports.push_back(path);
        named.push_back(CanonicalPath(path));
    }
    std::vector<std::string> devices;
    for (const std::string& name : DirectoryNames(roots.devDir)) {
        if (!IsSerialDeviceName(name)) continue;
        const std::string path = roots.devDir + "/" + name;
        if (!IsCharacterDevice(path) || IsEmptyUartSlot(roots.sysTtyDir, name)) continue;
        if (std::find(named.begin(), named.end(), CanonicalPath(path)) != named.end()) continue;
        devices.push_back(path);
    }
    SortNatural(devices);
    ports.insert(ports.end(), devices.begin(), devices.end());
    return ports;
}

std::vector<std::string> ListComPortEntries() {
    std::vector<int> numbers;
    const std::string dir = PortDirectory();
    if (dir.empty()) return {};
    for (const std::string& name : DirectoryNames(dir)) {
        if (const std::optional<int> n = ComPortNumber(name)) numbers.push_back(*n);
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    std::vector<std::string> names;
    for (int n : numbers) names.push_back("COM" + std::to_string(n));
    return names;
}

std::vector<std::string> ListSerialPorts() {
    std::vector<std::string> ports = ListSerialDevices({});
    for (std::string& name : ListComPortEntries()) ports.push_back(std::move(name));
    return ports;
}

}  // namespace veska::platform
