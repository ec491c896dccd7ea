// Feeds arbitrary line bytes to the reply checker and decoder: they must never read or
// write outside the span, whatever the counters and top bits say.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "link/Framing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> line(data, data + (size & ~size_t{1}));
    const auto check = veska::link::CheckReply(line);
    if (check.kind == veska::link::ReplyCheck::kCounterMismatch &&
        check.bytesToDrop >= line.size()) {
        __builtin_trap();  // the newer reply's rest can never be longer than the reply
    }
    if (check.kind == veska::link::ReplyCheck::kOk) veska::link::DecodeReply(line);
    return 0;
}
