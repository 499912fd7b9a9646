#pragma once
// Every fixed pause of the protocol goes through one Pacing object. The program sleeps;
// tests hand in a clock that writes the pause down and returns at once.

#include <atomic>
#include <chrono>

namespace quilex {

class Pacing {
public:
    virtual ~Pacing() = default;
    virtual void pause(std::chrono::milliseconds duration) = 0;
    void pauseMs(int ms) { pause(std::chrono::milliseconds(ms)); }
    // A pause the user may cut short: it ends early once cancel turns true. A pacing that does
    // not really wait has nothing to cut.
    virtual void pauseUnlessCancelled(std::chrono::milliseconds duration, const std::atomic<bool>& cancel)
    {
        (void)cancel;
        pause(duration);
    }
};

class SleepingPacing final : public Pacing {
public:
    void pause(std::chrono::milliseconds duration) override;
    void pauseUnlessCancelled(std::chrono::milliseconds duration, const std::atomic<bool>& cancel) override;
};

// The pacing the program uses when nobody hands it another one.
Pacing& defaultPacing();

} // namespace quilex
