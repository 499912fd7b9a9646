#include "gauge_model.h"

#include "link/byte_order.h"
#include "link/crc16.h"

#include <algorithm>
#include <cstring>

namespace quilex::sim {
namespace {

constexpr std::uint8_t CmdVersion = 0x01;
constexpr std::uint8_t CmdParameters = 0x02;
constexpr std::uint8_t CmdRecord = 0x03;
constexpr std::uint8_t CmdMaterials = 0x04;
constexpr std::uint8_t CmdPutMaterials = 0x05;
constexpr std::uint8_t CmdScreen = 0x08;

bool knownCommand(std::uint8_t code)
{
    return code == CmdVersion || code == CmdParameters || code == CmdRecord || code == CmdMaterials
        || code == CmdPutMaterials || code == CmdScreen;
}

} // namespace

GaugeModel::GaugeModel(Transport transport, GaugeImage image, FaultConfig faults)
    : transport_(transport), image_(std::move(image)), faults_(std::move(faults))
{
    materials_ = encodeMaterialTable(image_.materials);
}

std::uint32_t GaugeModel::capOf(std::uint8_t command) const
{
    switch (command) {
    case CmdVersion: return static_cast<std::uint32_t>(VersionTextMax);
    case CmdParameters: return static_cast<std::uint32_t>(parameterBlockLength(transport_));
    case CmdRecord: return static_cast<std::uint32_t>(RecordBytes);
    case CmdMaterials: return static_cast<std::uint32_t>(MaterialTableBytes);
    case CmdScreen: return static_cast<std::uint32_t>(ScreenBytes);
    default: return 0;
    }
}

// A wrong marker keeps a CRC that matches the bytes as sent, so only the marker is wrong; a
// wrong CRC keeps the marker.
void GaugeModel::spoil(std::uint8_t* block, std::size_t n, BlockTarget::Kind kind, int index) const
{
    for (const BlockTarget& t : faults_.badMarker)
        if (t.kind == kind && t.index == index) {
            writeU16le(block + n - 4, 0xAAAB);
            sealBlock(block, n);
        }
    for (const BlockTarget& t : faults_.badCrc)
        if (t.kind == kind && t.index == index)
            block[n - 2] = static_cast<std::uint8_t>(block[n - 2] ^ 0xFF);
}

std::vector<std::uint8_t> GaugeModel::parameterBlock() const
{
    std::vector<std::uint8_t> block = encodeParameterBlock(image_.archive, transport_);
    spoil(block.data(), block.size(), BlockTarget::Kind::Parameters, 0);
    return block;
}

RecordBlock GaugeModel::record(std::size_t ordinal) const
{
    RecordBlock r = encodeRecord(image_.archive.at(ordinal), transport_);
    // Records on the driver transport carry no trailer to spoil.
    if (transport_ == Transport::LibUsb)
        spoil(r.data(), r.size(), BlockTarget::Kind::Record, static_cast<int>(ordinal));
    return r;
}

MaterialTableBlock GaugeModel::materialReply() const
{
    MaterialTableBlock table = materials_;
    for (int k = 0; k < MaterialSlots; ++k)
        spoil(table.data() + static_cast<std::size_t>(k) * MaterialBytes, MaterialBytes, BlockTarget::Kind::Material,
              k + 1);
    return table;
}

void GaugeModel::feed(const std::uint8_t* data, std::size_t length)
{
    if (length == 0)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (!idle() && now - lastInput_ > inputTimeout_) {
        dropped_ += input_.size();
        input_.clear();
        state_ = State::Command;
    }
    lastInput_ = now;
    input_.insert(input_.end(), data, data + length);
    parse();
}

void GaugeModel::parse()
{
    std::size_t pos = 0;
    for (;;) {
        const std::size_t left = input_.size() - pos;
        const std::uint8_t* p = input_.data() + pos;
        if (state_ == State::PutLength) {
            if (left < 4)
                break;
            const std::uint32_t length = readU32le(p);
            pos += 4;
            if (length == 0 || length > MaterialTableBytes) {
                dropped_ += 4; // not a table the gauge can take: it goes back to listening
                state_ = State::Command;
            } else {
                putExpected_ = length;
                state_ = State::PutTable;
            }
            continue;
        }
        if (state_ == State::PutTable) {
            if (left < putExpected_)
                break;
            std::memcpy(materials_.data(), p, putExpected_);
            pos += putExpected_;
            ++materialWrites_;
            state_ = State::Command;
            continue;
        }
        if (left < 2)
            break;
        const std::uint8_t code = p[0];
        if (!knownCommand(code) || p[1] != static_cast<std::uint8_t>(0xFF - code)) {
            ++pos;
            ++dropped_;
            continue;
        }
        if (code == CmdRecord && left < 4)
            break;
        clearOutput();
        switch (code) {
        case CmdVersion: {
            answer(code, std::vector<std::uint8_t>(image_.firmware.begin(), image_.firmware.end()));
            pos += 2;
            break;
        }
        case CmdParameters:
            answer(code, parameterBlock());
            pos += 2;
            break;
        case CmdRecord: {
            const std::size_t ordinal = static_cast<std::size_t>(p[2] | (p[3] << 8));
            if (ordinal < image_.archive.size()) {
                const RecordBlock r = record(ordinal);
                answer(code, std::vector<std::uint8_t>(r.begin(), r.end()));
            } else {
                answer(code, {}); // no such record: an empty reply
            }
            pos += 4;
            break;
        }
        case CmdMaterials: {
            const MaterialTableBlock t = materialReply();
            answer(code, std::vector<std::uint8_t>(t.begin(), t.end()));
            pos += 2;
            break;
        }
        case CmdPutMaterials:
            state_ = State::PutLength;
            pos += 2;
            break;
        case CmdScreen:
            answer(code, std::vector<std::uint8_t>(image_.screen.begin(), image_.screen.end()));
            pos += 2;
            break;
        }
    }
    input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(pos));
}

void GaugeModel::answer(std::uint8_t command, std::vector<std::uint8_t> block)
{
    ++answered_;
    std::uint32_t announced = static_cast<std::uint32_t>(block.size());
    for (const CommandValue& l : faults_.lengths)
        if (l.command == command) {
            announced = l.value;
            // The gauge says more than it has: it sends what the program will read (up to the
            // cap) and pads with zeros. It says less: it sends only that much.
            const std::uint32_t sent = std::min(announced, std::max(capOf(command), static_cast<std::uint32_t>(block.size())));
            block.resize(sent, 0);
        }
    for (const CommandValue& s : faults_.shortReplies)
        if ((s.command == 0 || s.command == command) && block.size() > s.value)
            block.resize(s.value);
    std::vector<std::uint8_t> length(4);
    writeU32le(length.data(), announced);
    output_.push_back(std::move(length));
    if (!block.empty())
        output_.push_back(std::move(block));
}

std::size_t GaugeModel::pendingBytes() const
{
    std::size_t n = 0;
    for (const auto& part : output_)
        n += part.size();
    return n - headOffset_;
}

std::size_t GaugeModel::partRemaining() const
{
    return output_.empty() ? 0 : output_.front().size() - headOffset_;
}

std::size_t GaugeModel::read(std::uint8_t* out, std::size_t max)
{
    const std::size_t n = std::min(max, partRemaining());
    if (n == 0)
        return 0;
    std::memcpy(out, output_.front().data() + headOffset_, n);
    headOffset_ += n;
    if (headOffset_ == output_.front().size())
        dropPart();
    return n;
}

std::vector<std::uint8_t> GaugeModel::takePart()
{
    if (output_.empty())
        return {};
    std::vector<std::uint8_t> part(output_.front().begin() + static_cast<std::ptrdiff_t>(headOffset_),
                                   output_.front().end());
    dropPart();
    return part;
}

void GaugeModel::dropPart()
{
    if (!output_.empty())
        output_.pop_front();
    headOffset_ = 0;
}

void GaugeModel::clearOutput()
{
    output_.clear();
    headOffset_ = 0;
}

} // namespace quilex::sim
