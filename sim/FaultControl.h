#pragma once
#include <atomic>
#include <cstdio>
#include <string>
#include <string_view>
#include <thread>

#include "sim/VirtualBench.h"

namespace veska::sim {

/// The virtual bench's fault switches while it runs, as text commands through a FIFO in
/// the port directory (DIR/control):
///   fault DEVICE:NAME[=VALUE][@N]   switch a fault on (e.g. "fault encoder:silent@300")
///   clear DEVICE | clear all        switch the device's faults off (a vanished port returns)
///   status                          the faults of every device
///   help                            the commands and the fault table
/// Each command's answer goes to the output stream given (veska-sim: standard output), and
/// after each command DIR/faults holds the status (written through a temporary file).
class FaultControl {
  public:
    /// bench outlives the control; out may be null (no answers printed).
    FaultControl(VirtualBench& bench, std::FILE* out);
    ~FaultControl();
    FaultControl(const FaultControl&) = delete;
    FaultControl& operator=(const FaultControl&) = delete;

    /// Makes the FIFO (a FIFO left there is reused; any other file fails) and the status
    /// file in the bench's port directory and starts listening. False with a message.
    bool Start(std::string* error = nullptr);
    /// Stops listening and removes the FIFO and the status file.
    void Stop();

    /// Runs one command line; returns its answer (lines ending in '\n'; a refusal starts
    /// with "error: ").
    std::string Execute(std::string_view line);

    const std::string& FifoPath() const { return fifoPath_; }
    const std::string& StatusPath() const { return statusPath_; }

    /// Longer command lines are refused whole.
    static constexpr size_t kMaxLine = 512;

  private:
    void Run();
    void WriteStatus();

    VirtualBench& bench_;
    std::FILE* out_;
    std::string fifoPath_;
    std::string statusPath_;
    int fifo_ = -1;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::atomic<bool> stop_{false};
    std::thread worker_;
};

}  // namespace veska::sim
