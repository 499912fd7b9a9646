// Reading one reply: the length into the block's head, the cut to the cap, the block over the
// length, as each transport's receive step makes it look.

#include "link/commands.h"
#include "link/reply_framing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

using namespace quilex;

namespace {

enum class Status { Ok, Failed };

// What the gauge sends, handed out by one receive step at a time.
struct Wire {
    explicit Wire(std::vector<std::uint8_t> sent) : bytes(std::move(sent)) {}

    std::vector<std::uint8_t> bytes;
    std::size_t at = 0;
    bool exact = true; // driver pipes: exactly count bytes, and 0 is a failure
    std::vector<std::uint32_t> asked;

    Status operator()(std::uint8_t* into, std::uint32_t count)
    {
        asked.push_back(count);
        const std::size_t left = bytes.size() - at;
        if (exact && (count == 0 || left < count))
            return Status::Failed;
        if (!exact && left == 0)
            return Status::Failed;
        const std::size_t n = std::min<std::size_t>(count, left);
        std::memcpy(into, bytes.data() + at, n);
        at += n;
        return Status::Ok;
    }
};

std::vector<std::uint8_t> reply(std::initializer_list<std::uint8_t> length, std::size_t body)
{
    std::vector<std::uint8_t> bytes(length);
    for (std::size_t i = 0; i < body; ++i)
        bytes.push_back(static_cast<std::uint8_t>(i + 1));
    return bytes;
}

} // namespace

TEST(ReplyFraming, TheBlockReplacesTheLengthAndALongReplyIsCutToTheCap)
{
    Wire wire{reply({0xFF, 0xFF, 0xFF, 0xFF}, 30)};
    std::vector<std::uint8_t> block(ArchiveRecordLength, 0xEE);
    std::uint32_t received = 0;
    ASSERT_EQ(readReply(std::ref(wire), Status::Ok, block.data(), ArchiveRecordLength, &received), Status::Ok);
    EXPECT_EQ(received, ArchiveRecordLength); // all ones is a long reply, not a negative one
    EXPECT_EQ(wire.asked, (std::vector<std::uint32_t>{4, 20}));
    EXPECT_EQ(block.front(), 1);
    EXPECT_EQ(block.back(), 20);
    EXPECT_EQ(wire.at, 24u); // what lies beyond the cap stays unread
}

TEST(ReplyFraming, AShortReplyFillsOnlyItsOwnBytes)
{
    Wire wire{reply({0x10, 0x00, 0x00, 0x00}, 16)};
    std::vector<std::uint8_t> block(ScreenImageLength, 0xEE);
    std::uint32_t received = 0;
    ASSERT_EQ(readReply(std::ref(wire), Status::Ok, block.data(), ScreenImageLength, &received), Status::Ok);
    EXPECT_EQ(received, 16u);
    EXPECT_EQ(block[15], 16);
    EXPECT_EQ(block[16], 0xEE);
}

TEST(ReplyFraming, AFailedStepIsReportedAndTheStepAfterTheLengthRunsOnlyOnceItArrived)
{
    // A length of 0 over the pipes: the second read asks for nothing and fails.
    Wire zero{reply({0, 0, 0, 0}, 0)};
    std::uint8_t block[ArchiveRecordLength] = {};
    std::uint32_t received = 99;
    int afterLength = 0;
    EXPECT_EQ(readReply(std::ref(zero), Status::Ok, block, ArchiveRecordLength, &received, [&] { ++afterLength; }),
              Status::Failed);
    EXPECT_EQ(afterLength, 1);
    EXPECT_EQ(received, 99u);

    // A gauge that stays silent: no length, so nothing after it.
    Wire silent{std::vector<std::uint8_t>()};
    silent.exact = false;
    afterLength = 0;
    EXPECT_EQ(readReply(std::ref(silent), Status::Ok, block, ArchiveRecordLength, &received, [&] { ++afterLength; }),
              Status::Failed);
    EXPECT_EQ(afterLength, 0);
    EXPECT_EQ(silent.asked.size(), 1u);
}
