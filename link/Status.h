#pragma once
#include <cstdint>

namespace veska::link {

/// One status space for every device operation. Unscoped, so that the codes stay plain
/// integers where they are stored and compared; [[nodiscard]], so that a caller that
/// drops a status does so visibly: `(void)link.StopStream(address);`.
// (clang-format 14 takes the attribute for a braced initialiser.)
// clang-format off
enum [[nodiscard]] Status : int32_t {
    kStatusOk = 0,
    kStatusNotOpen = 2,       ///< port not open, or opening it failed
    kStatusShortRead = 3,     ///< the read returned fewer bytes than asked (time-out)
    kStatusReadFailed = 4,    ///< the read call failed
    kStatusShortWrite = 5,    ///< the write sent fewer bytes than asked
    kStatusWriteFailed = 6,   ///< the write call failed, or a wrong echo
    kStatusBadRequest = 7,    ///< a length or pointer out of range; nothing was sent or read
    kStatusFraming = 8,       ///< reply framing error (top bit clear, counter mismatch)
    kStatusEncoderCheck = 9,  ///< the encoder did not answer or does not cover the range
};
// clang-format on

/// A short English meaning of a status, for logs and the command-line tool.
const char* StatusMeaning(int32_t status);

}  // namespace veska::link
