// The parameter block as either transport delivers it (a short reply leaves zeros behind its
// bytes): the block check and the record count of its occupancy map.

#include "fuzz_check.h"

#include "exchange/archive_records.h"
#include "link/commands.h"
#include "link/crc16.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

using namespace quilex;

namespace {

void checkBlockOf(const std::uint8_t* data, std::size_t size, std::size_t n)
{
    std::vector<std::uint8_t> block(n, 0);
    std::memcpy(block.data(), data, std::min(size, n));
    const bool marker = blockMarkerOk(block.data(), n);
    const bool crc = blockCrcOk(block.data(), n);
    FUZZ_CHECK(checkBlock(block.data(), n) == (marker && crc));

    const std::size_t count = countArchiveRecords(block);
    FUZZ_CHECK(count <= ArchiveSlotCount);
    std::size_t bits = 0;
    for (std::size_t i = 0; i < ArchiveBitmapWords * 4; ++i)
        bits += static_cast<std::size_t>(std::popcount(block[i]));
    FUZZ_CHECK(count == bits);

    // Sealing makes the CRC good, whatever else the block holds.
    sealBlock(block.data(), n);
    FUZZ_CHECK(blockCrcOk(block.data(), n));
    FUZZ_CHECK(Crc16(block.data(), n) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    checkBlockOf(data, size, DriverParameterBlockLength);
    checkBlockOf(data, size, LibUsbParameterBlockLength);

    // A header of any length: only whole words are counted, never a byte past its end.
    std::vector<std::uint8_t> exact(data, data + size);
    const std::size_t count = countArchiveRecords(exact);
    FUZZ_CHECK(count <= std::min<std::size_t>(ArchiveSlotCount, 32 * (size / 4)));
    FUZZ_CHECK(Crc16(exact.data(), exact.size()) <= 0xFFFF);
    if (size >= 4)
        (void)checkBlock(exact.data(), exact.size());
    return 0;
}
