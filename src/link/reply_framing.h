#pragma once
// Reading one reply of the gauge: the 4-byte length into the block's first bytes, the length
// cut to the cap, then that many bytes into the block from its first byte (over the length).
// The transports differ only in how they receive, so the caller hands its receive step in.

#include "link/byte_order.h"
#include "link/commands.h"

#include <cstdint>

namespace quilex {

// receive(data, count) fills up to count bytes at data and answers a status; ok is the status
// of success. afterLength() runs between the two reads, once the length has arrived. The block
// must hold at least the larger of cap and ReplyLengthBytes bytes. On success *received (when
// given) is the count asked for in the second read, at most cap; on a failure the failed
// step's status is returned and *received is left alone.
template <typename Status, typename Receive, typename AfterLength>
Status readReply(Receive&& receive, Status ok, std::uint8_t* block, std::uint32_t cap,
                 std::uint32_t* received, AfterLength&& afterLength)
{
    if (Status s = receive(block, ReplyLengthBytes); s != ok)
        return s;
    afterLength();
    const std::uint32_t n = capReplyLength(readU32le(block), cap);
    if (Status s = receive(block, n); s != ok)
        return s;
    if (received)
        *received = n;
    return ok;
}

template <typename Status, typename Receive>
Status readReply(Receive&& receive, Status ok, std::uint8_t* block, std::uint32_t cap,
                 std::uint32_t* received = nullptr)
{
    return readReply(receive, ok, block, cap, received, [] {});
}

} // namespace quilex
