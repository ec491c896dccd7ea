#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace veska::link {

/// Sensor packet framing: pure functions on byte spans.
///
/// Request for net address A, command C, data D0 ... Dn-1 (2 + 2n line bytes):
///   [0]      A & 0x7F                 the only byte with bit 7 clear
///   [1]      0x80 | (C & 0x0F)
///   [2+2i]   0x80 | (Di & 0x0F)       low nibble first
///   [3+2i]   0x80 | (Di >> 4)
/// Reply of n data bytes (2n line bytes), each byte 1ccc pppp: c the packet counter (0..7,
/// equal in all bytes of one reply), p the payload nibble, low nibble first.
/// No checksum, no length: the host knows each command's reply length.

/// Appends the request packet to out.
void BuildRequest(uint8_t netAddress, uint8_t command, std::span<const uint8_t> data,
                  std::vector<uint8_t>& out);

/// Outcome of checking one reply.
struct ReplyCheck {
    enum Kind { kOk, kTopBitClear, kCounterMismatch } kind = kOk;
    uint8_t counter = 0;     ///< kOk: the reply's packet counter
    size_t bytesToDrop = 0;  ///< kCounterMismatch: bytes of the newer reply still under way
};

/// Checks 2n line bytes: top bit, then counters, with the resynchronisation rule (the
/// trailing run of equal counters is the head of a newer reply; its remaining bytes, as
/// many as precede the run, must be read and dropped).
ReplyCheck CheckReply(std::span<const uint8_t> line);

/// The encoder's lighter check: the packet counter (bits 4 to 6) is equal in every byte;
/// bit 7 is not looked at. An empty reply agrees.
bool CountersAgree(std::span<const uint8_t> line);

/// Decodes 2n checked line bytes into n data bytes, in place (data byte k to position k).
void DecodeReply(std::span<uint8_t> line);

}  // namespace veska::link
