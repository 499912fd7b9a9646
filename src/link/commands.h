#pragma once
// The commands the program sends and the replies it accepts. A command is a code byte and
// its ones' complement; the record command adds the record's ordinal, low byte first. Every
// reading command is answered with a 32-bit little-endian length and then the block.

#include <array>
#include <cstdint>

namespace quilex {

enum class Command : std::uint8_t {
    GetVersion = 0x01,
    GetParameters = 0x02,
    GetRecord = 0x03,
    GetMaterials = 0x04,
    PutMaterials = 0x05,
    GetScreen = 0x08,
};

// Block sizes, which are also the caps of the replies.
inline constexpr std::uint32_t VersionCap = 100;
inline constexpr std::uint32_t DriverParameterBlockLength = 260;
inline constexpr std::uint32_t LibUsbParameterBlockLength = 10568;
inline constexpr std::uint32_t ArchiveRecordLength = 20;
inline constexpr std::uint32_t MaterialRecordLength = 36;
inline constexpr std::uint32_t MaterialCount = 13;
inline constexpr std::uint32_t MaterialTableLength = MaterialRecordLength * MaterialCount; // 468
inline constexpr std::uint32_t ScreenImageLength = 1024;
inline constexpr std::uint32_t ReplyLengthBytes = 4;

// Pauses the gauge needs, in milliseconds.
inline constexpr int VersionPauseLibUsbMs = 80;     // after 01 FE, before the length
inline constexpr int ParametersPauseLibUsbMs = 50;  // after 02 FD, before the length
inline constexpr int MaterialsStepPauseDriverMs = 50; // after each step of the read
inline constexpr int PutMaterialsPauseMs = 300;     // between 05 FA and the length
inline constexpr int PutMaterialsChunkBytes = 64;
inline constexpr int PutMaterialsChunkPauseMs = 15; // after each chunk of the table
inline constexpr int LinkOpenPauseMs = 300;         // twice while opening over libusb
inline constexpr int ErrorTailPauseMs = 1000;
inline constexpr int NoDataDisplayPauseMs = 300;
inline constexpr int ErrorTailDrainBytes = 1000;

inline constexpr std::uint8_t complement(std::uint8_t code)
{
    return static_cast<std::uint8_t>(0xFF - code);
}

inline constexpr std::array<std::uint8_t, 2> commandBytes(Command command)
{
    const auto code = static_cast<std::uint8_t>(command);
    return {code, complement(code)};
}

// 03 FC, index low, index high.
inline constexpr std::array<std::uint8_t, 4> recordCommand(std::uint16_t index)
{
    return {static_cast<std::uint8_t>(Command::GetRecord), complement(static_cast<std::uint8_t>(Command::GetRecord)),
            static_cast<std::uint8_t>(index & 0xFF), static_cast<std::uint8_t>((index >> 8) & 0xFF)};
}

// The announced length is unsigned: FF FF FF FF is a very long reply, cut to the cap like
// any other, never a negative one.
inline constexpr std::uint32_t capReplyLength(std::uint32_t announced, std::uint32_t cap)
{
    return announced <= cap ? announced : cap;
}

} // namespace quilex
