#pragma once
#include <atomic>
#include <string>
#include <thread>

#include "sim/LinePeer.h"

namespace veska::sim {

/// A simulated device on a pseudo-terminal. The host opens the slave side (SlavePath, or
/// the optional symlink) as it opens any serial device and configures it as it likes; a
/// pty carries any rate, so the host's termios settings are not checked. A worker thread
/// moves the host's bytes from the master side to the peer and the peer's output back,
/// and tells the peer the end of each burst (no byte for kBurstGapMs). When the peer hangs
/// up (LinePeer::HungUp), the worker closes the pty as Vanish does.
class PtyLink {
  public:
    /// linkPath: where to put a symlink to the slave device ("" for none). An existing
    /// symlink there is replaced; any other file is left alone and Start fails.
    explicit PtyLink(LinePeer& peer, std::string linkPath = {});
    ~PtyLink();
    PtyLink(const PtyLink&) = delete;
    PtyLink& operator=(const PtyLink&) = delete;

    /// Opens the pseudo-terminal (slave in raw mode), makes the link and starts the worker.
    /// False with a message in error when any step fails; nothing is left open then.
    bool Start(std::string* error = nullptr);
    /// Stops the worker, closes the pty and removes the symlink (when it is still ours).
    void Stop();
    /// Unplugs the device: stops the worker and closes the master side, so the host's
    /// reads and writes fail (EIO, hang-up). The symlink stays.
    void Vanish();
    bool Running() const { return worker_.joinable(); }

    /// The slave device path, e.g. /dev/pts/5 ("" before Start).
    const std::string& SlavePath() const { return slavePath_; }
    const std::string& LinkPath() const { return linkPath_; }

    static constexpr int kBurstGapMs = 1;

  private:
    void Run();
    void CloseAll();
    bool MakeLink(std::string* error);
    void RemoveLink();

    LinePeer& peer_;
    std::string linkPath_;
    bool linkMade_ = false;
    std::string slavePath_;
    int master_ = -1;
    int slaveHold_ = -1;  ///< a slave descriptor kept open, so the master sees no hang-up
                          ///< while the host has the port closed
    int wakeRead_ = -1;   ///< self-pipe that ends the worker's poll
    int wakeWrite_ = -1;
    std::atomic<bool> stop_{false};  ///< set by Stop/Vanish, read by the worker
    std::thread worker_;
};

}  // namespace veska::sim
