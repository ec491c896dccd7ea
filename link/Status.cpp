#include "link/Status.h"

namespace veska::link {

const char* StatusMeaning(int32_t status) {
    switch (status) {
        case kStatusOk:
            return "ok";
        case kStatusNotOpen:
            return "port not open";
        case kStatusShortRead:
            return "read timed out";
        case kStatusReadFailed:
            return "read failed";
        case kStatusShortWrite:
            return "write incomplete";
        case kStatusWriteFailed:
            return "write failed or wrong echo";
        case kStatusBadRequest:
            return "length out of range";
        case kStatusFraming:
            return "reply framing error";
        case kStatusEncoderCheck:
            return "encoder check failed";
        default:
            return "unknown status";
    }
}

}  // namespace veska::link
