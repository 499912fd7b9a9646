// Replies of the gauge, one after another as the archive read asks for them, over either
// transport. The first byte picks the transport and the reply's cap; the rest is what the
// gauge sends. The driver pipes read exactly what is asked and fail on a count of 0 or when
// the gauge falls silent; a libusb bulk read takes what there is, up to the count.

#include "fuzz_check.h"

#include "link/commands.h"
#include "link/reply_framing.h"

#include <algorithm>
#include <cstring>
#include <memory>

using namespace quilex;

namespace {

enum class Status { Ok, Failed };

constexpr std::uint32_t Caps[] = {VersionCap,          DriverParameterBlockLength, LibUsbParameterBlockLength,
                                  ArchiveRecordLength, MaterialTableLength,        ScreenImageLength};
constexpr std::uint8_t Untouched = 0xC5;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const bool usb = data[0] & 1;
    const std::uint32_t cap = Caps[(data[0] >> 1) % std::size(Caps)];
    const std::uint8_t* wire = data + 1;
    const std::size_t wireSize = size - 1;
    std::size_t at = 0;

    // Exactly the block's size on the heap, so that a read past the cap is caught.
    const std::size_t blockSize = std::max<std::size_t>(cap, ReplyLengthBytes);
    const auto block = std::make_unique<std::uint8_t[]>(blockSize);

    std::uint32_t asked = 0;
    auto receive = [&](std::uint8_t* into, std::uint32_t count) {
        FUZZ_CHECK(into == block.get());
        FUZZ_CHECK(count <= blockSize);
        asked = count;
        const std::size_t left = wireSize - at;
        if (usb) {
            if (left == 0)
                return Status::Failed; // the gauge gone: the bulk read times out
            const std::size_t n = std::min<std::size_t>(count, left);
            std::memcpy(into, wire + at, n);
            at += n;
            return Status::Ok;
        }
        if (count == 0 || left < count)
            return Status::Failed;
        std::memcpy(into, wire + at, count);
        at += count;
        return Status::Ok;
    };

    for (int reply = 0; at < wireSize && reply < 64; ++reply) {
        std::fill_n(block.get(), blockSize, Untouched);
        const std::size_t start = at;
        bool lengthSeen = false;
        std::uint32_t received = 0xFFFFFFFF;
        const Status s = readReply(receive, Status::Ok, block.get(), cap, &received, [&] { lengthSeen = true; });
        if (s != Status::Ok) {
            FUZZ_CHECK(received == 0xFFFFFFFF);
            break;
        }
        FUZZ_CHECK(lengthSeen);
        FUZZ_CHECK(received <= cap && received == asked);
        if (!usb) {
            // The length, then exactly the block: the block holds the bytes after the length,
            // and nothing behind them was touched.
            FUZZ_CHECK(at == start + ReplyLengthBytes + received);
            std::uint32_t announced = 0;
            for (int i = 3; i >= 0; --i)
                announced = (announced << 8) | wire[start + std::size_t(i)];
            FUZZ_CHECK(received == std::min(announced, cap));
            FUZZ_CHECK(std::memcmp(block.get(), wire + start + ReplyLengthBytes, received) == 0);
            for (std::size_t i = std::max<std::size_t>(received, ReplyLengthBytes); i < blockSize; ++i)
                FUZZ_CHECK(block[i] == Untouched);
        }
    }
    return 0;
}
