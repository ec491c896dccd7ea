#include "platform/ReadTimeoutRule.h"

#include <algorithm>

namespace veska::platform {

namespace {
constexpr uint32_t kMaxDword = 0xFFFFFFFFu;
/// Totals beyond this are taken as no limit (about 34 years) [ms].
constexpr uint64_t kLongestTotalMs = uint64_t{1} << 40;
}  // namespace

ReadTimeoutRule::ReadTimeoutRule(uint32_t interval, uint32_t multiplier, uint32_t constant,
                                 uint32_t count, TimePoint start) {
    using std::chrono::milliseconds;
    if (interval == kMaxDword && multiplier == 0 && constant == 0) {
        kind_ = Kind::kAvailableOnly;
        return;
    }
    if (interval == kMaxDword && multiplier == kMaxDword && constant > 0 && constant < kMaxDword) {
        kind_ = Kind::kFirstByte;
        hasTotal_ = true;
        totalDeadline_ = start + milliseconds(constant);
        return;
    }
    // Both factors are below 2^32, so the product and the sum fit in 64 bits.
    const uint64_t totalMs = uint64_t{multiplier} * count + constant;
    hasTotal_ = (multiplier != 0 || constant != 0) && totalMs <= kLongestTotalMs;
    if (hasTotal_) totalDeadline_ = start + milliseconds(totalMs);
    interval_ = milliseconds(interval);
}

void ReadTimeoutRule::BytesArrived(TimePoint now) {
    anyByte_ = true;
    lastByte_ = now;
}

ReadTimeoutRule::Duration ReadTimeoutRule::Remaining(TimePoint now) const {
    if (kind_ == Kind::kAvailableOnly) return Duration::zero();
    if (kind_ == Kind::kFirstByte && anyByte_) return Duration::zero();
    Duration left = kNoLimit;
    if (hasTotal_) left = std::max(Duration::zero(), totalDeadline_ - now);
    if (anyByte_ && interval_ > Duration::zero()) {
        left = std::min(left, std::max(Duration::zero(), lastByte_ + interval_ - now));
    }
    return left;
}

}  // namespace veska::platform
