#pragma once
// The simulated gauge's protocol engine. The program's bytes go in through feed(); the
// gauge's answers come out of an output queue, one reply part at a time: first the 4-byte
// length, then the block. A part is what a real gauge hands over in one go, so a bulk read
// never runs from one part into the next.
//
// Commands are a code byte and its complement (the record command adds the ordinal, low
// byte first). A byte that does not start a known command, or a code whose second byte is not
// its complement, is dropped and the gauge looks for a command at the next byte; it answers
// nothing for it. A new command throws away whatever the program left unread of the last
// reply. 05 FA is followed by the length 468 (4 bytes) and the new material table; the gauge
// answers nothing and keeps the table for the next 04 FB. An input that stops in the middle
// of a command or a table for more than two seconds is forgotten.

#include "gauge_blocks.h"
#include "gauge_image.h"
#include "sim_faults.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <vector>

namespace quilex::sim {

class GaugeModel {
public:
    GaugeModel(Transport transport, GaugeImage image, FaultConfig faults = {});

    Transport transport() const { return transport_; }

    void feed(const std::uint8_t* data, std::size_t length);

    // Output queue.
    std::size_t pendingBytes() const;
    std::size_t partRemaining() const; // bytes left in the part at the head of the queue
    std::size_t read(std::uint8_t* out, std::size_t max); // never past the current part
    std::vector<std::uint8_t> takePart();
    void dropPart();
    void clearOutput();

    // No command or table half received.
    bool idle() const { return state_ == State::Command && input_.empty(); }

    // What the gauge holds now.
    const MaterialTableBlock& materialTable() const { return materials_; }
    const ScreenPicture& screen() const { return image_.screen; }
    const GaugeImage& image() const { return image_; }
    int recordCount() const { return static_cast<int>(image_.archive.size()); }
    std::vector<std::uint8_t> parameterBlock() const; // as sent, faults included
    RecordBlock record(std::size_t ordinal) const;    // as sent, faults included
    MaterialTableBlock materialReply() const;         // as sent, faults included

    int materialWrites() const { return materialWrites_; }
    std::uint64_t droppedBytes() const { return dropped_; }
    int commandsAnswered() const { return answered_; }

    void setInputTimeout(std::chrono::milliseconds timeout) { inputTimeout_ = timeout; }

private:
    enum class State { Command, PutLength, PutTable };

    void parse();
    void answer(std::uint8_t command, std::vector<std::uint8_t> block);
    std::uint32_t capOf(std::uint8_t command) const;
    void spoil(std::uint8_t* block, std::size_t n, BlockTarget::Kind kind, int index) const;

    Transport transport_;
    GaugeImage image_;
    FaultConfig faults_;
    MaterialTableBlock materials_{};

    State state_ = State::Command;
    std::vector<std::uint8_t> input_;
    std::uint32_t putExpected_ = 0;
    std::chrono::steady_clock::time_point lastInput_{};
    std::chrono::milliseconds inputTimeout_{2000};

    std::deque<std::vector<std::uint8_t>> output_;
    std::size_t headOffset_ = 0;

    int materialWrites_ = 0;
    int answered_ = 0;
    std::uint64_t dropped_ = 0;
};

} // namespace quilex::sim
