#include "pacing.h"

#include <thread>

namespace quilex {

void SleepingPacing::pause(std::chrono::milliseconds duration)
{
    if (duration.count() > 0)
        std::this_thread::sleep_for(duration);
}

Pacing& defaultPacing()
{
    static SleepingPacing pacing;
    return pacing;
}

} // namespace quilex
