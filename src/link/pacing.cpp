#include "pacing.h"

#include <algorithm>
#include <thread>

namespace quilex {

void SleepingPacing::pause(std::chrono::milliseconds duration)
{
    if (duration.count() > 0)
        std::this_thread::sleep_for(duration);
}

void SleepingPacing::pauseUnlessCancelled(std::chrono::milliseconds duration, const std::atomic<bool>& cancel)
{
    // Looked at every 20 ms: Cancel is felt at once, and a second's pause costs 50 wake-ups.
    constexpr std::chrono::milliseconds Slice(20);
    const auto end = std::chrono::steady_clock::now() + duration;
    for (auto now = std::chrono::steady_clock::now(); now < end && !cancel.load();
         now = std::chrono::steady_clock::now())
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(Slice, end - now));
}

Pacing& defaultPacing()
{
    static SleepingPacing pacing;
    return pacing;
}

} // namespace quilex
