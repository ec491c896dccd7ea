#include "platform/ReadAhead.h"

#include <algorithm>
#include <cstring>

namespace veska::platform {

ReadAhead::ReadAhead(size_t capacity)
    : capacity_(std::max<size_t>(capacity, 1)), buffer_(new uint8_t[capacity_]) {}

uint32_t ReadAhead::Take(uint8_t* out, uint32_t count) {
    const auto n = static_cast<uint32_t>(std::min<size_t>(count, tail_ - head_));
    if (n > 0) std::memcpy(out, buffer_.get() + head_, n);  // out may be null for none
    head_ += n;
    if (head_ == tail_) head_ = tail_ = 0;
    return n;
}

bool ReadAhead::Read(ByteSource& source, uint32_t interval, uint32_t multiplier, uint32_t constant,
                     uint8_t* out, uint32_t count, uint32_t& got) {
    got = 0;
    if (count == 0) return true;
    if (source.WakePending()) return true;
    got = Take(out, count);
    if (got == count) return true;

    // The queue is empty from here on: every read call below refills it from the start.
    const ByteSource::TimePoint start = source.Now();
    ReadTimeoutRule rule(interval, multiplier, constant, count, start);
    if (got > 0) rule.BytesArrived(start);
    for (bool first = true;; first = false) {
        const ByteSource::Duration wait = rule.Remaining(source.Now());
        // The first pass always looks at what has come, even when no time is left.
        if (wait == ByteSource::Duration::zero() && !first) return true;
        switch (source.Wait(wait)) {
            case ByteSource::Ready::kWoken:
                return true;  // hand over what has come
            case ByteSource::Ready::kFailed:
                return false;
            case ByteSource::Ready::kTimeout:
                continue;
            case ByteSource::Ready::kInput:
                break;
        }
        const long n = source.ReadSome(buffer_.get(), capacity_);
        if (n < 0) return false;
        if (n == 0) continue;
        head_ = 0;
        tail_ = static_cast<size_t>(n);
        got += Take(out + got, count - got);
        if (got == count) return true;
        rule.BytesArrived(source.Now());
    }
}

}  // namespace veska::platform
