#pragma once
#include <termios.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace veska::testing {

/// A scripted device on a real pseudo-terminal. The program under test opens SlavePath()
/// like any serial device; the peer holds the master side, logs every byte the program
/// sends, and answers with replies queued in advance.
///
/// Replies are queued, not written at once, because the program purges its input before
/// each request: a reply written before the request would be thrown away. ReplyAfter(k, r)
/// writes r as soon as k more request bytes have come since the previous reply's trigger.
///
/// A background thread does all reading from the master; the test thread only queues and
/// inspects. All methods are thread-safe.
class PtyPeer {
  public:
    /// Opens the pair (raw mode, so nothing is echoed before the program configures it) and
    /// starts the peer thread. Check Ok() before use.
    PtyPeer();
    ~PtyPeer();
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    bool Ok() const { return master_ >= 0; }
    /// The device path the program opens (/dev/pts/N).
    const std::string& SlavePath() const { return slavePath_; }

    /// Queues reply to be written once requestBytes more bytes have come from the program
    /// (counted from the trigger point of the previous queued reply; 0: at once, in order).
    void ReplyAfter(size_t requestBytes, std::vector<uint8_t> reply);
    /// Writes bytes to the program now (unasked data, stale bytes).
    void Send(const std::vector<uint8_t>& bytes);

    /// Every byte the program has sent so far.
    std::vector<uint8_t> Received() const;
    /// Waits until at least n bytes have come in total [ms]; false on time-out.
    bool WaitReceived(size_t n, int timeoutMs) const;
    /// The next n request bytes not yet taken by ReadRequest; fewer when they have not all
    /// come within timeoutMs [ms].
    std::vector<uint8_t> ReadRequest(size_t n, int timeoutMs);
    /// Queued replies whose trigger has not been reached.
    size_t PendingReplies() const;

    /// The slave's line settings, as the program set them.
    bool SlaveTermios(termios& settings) const;

    /// Makes the port vanish: stops the peer thread and closes both of its descriptors, so
    /// the program's descriptor sees a hang-up.
    void CloseMaster();

  private:
    struct Step {
        size_t after;
        std::vector<uint8_t> reply;
    };
    void Run();
    void FireDueReplies();  // with mutex_ held
    void WriteAll(const std::vector<uint8_t>& bytes) const;
    void Notify() const;

    int master_ = -1;
    int slaveKeep_ = -1;  ///< the peer's own slave descriptor: keeps the line up between opens
    int wakeRead_ = -1;   ///< self-pipe that wakes the peer thread
    int wakeWrite_ = -1;
    std::string slavePath_;
    std::thread thread_;

    mutable std::mutex mutex_;  ///< guards everything below
    mutable std::condition_variable arrived_;
    std::vector<uint8_t> received_;
    size_t taken_ = 0;  ///< bytes handed out by ReadRequest
    size_t mark_ = 0;   ///< received_ count at the last reply trigger
    std::deque<Step> script_;
    bool stop_ = false;
};

}  // namespace veska::testing
