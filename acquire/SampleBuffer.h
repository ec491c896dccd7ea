#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace veska::acquire {

/// The ring of the 65536 newest converted values, shared by the stream thread (writer)
/// and the interface thread (plot at stream stop, export). Values and counters are atomics:
/// the writer stores the value, then publishes the index with release order; a reader that
/// loads the index with acquire order sees every value up to it.
class SampleBuffer {
  public:
    static constexpr int32_t kSize = 65536;

    /// Empty: index -1, not wrapped, cursor 0. Values are kept (a run start clears them).
    void Reset();
    /// Sets every value to 0.0 (measurement run start).
    void ClearValues();

    /// Stream rule: index kept at the newest sample. Returns the new index.
    int32_t AppendNewest(float value);
    /// Measurement rule: index kept one past the newest value. Returns the position written.
    int32_t AppendOnePast(float value);

    float At(int32_t position) const {
        return values_[position & (kSize - 1)].load(std::memory_order_relaxed);
    }
    int32_t Index() const { return index_.load(std::memory_order_acquire); }
    /// Samples held: the ring's size once wrapped, else the newest index + 1 under the
    /// stream rule and the index under the measurement rule (0 when empty).
    int32_t Count() const;
    bool Wrapped() const { return wrapped_.load(std::memory_order_acquire); }

    int32_t cursor = 0;  ///< read position of the stream-stop plot; interface thread only

    /// The export lines, oldest first, as "Save data to file" writes them: the sample at the
    /// index itself is not written. index and wrapped are one snapshot taken at the start.
    void ExportLines(std::string& out) const;
    /// Writes the export to a file, replacing it. False when it cannot be written; an
    /// existing file is then left as it was.
    bool ExportToFile(const std::string& path, std::string& error) const;

  private:
    std::array<std::atomic<float>, kSize> values_{};
    std::atomic<int32_t> index_{-1};
    std::atomic<bool> wrapped_{false};
    std::atomic<bool> streamRule_{false};  ///< the last append kept the index at the newest
};

}  // namespace veska::acquire
