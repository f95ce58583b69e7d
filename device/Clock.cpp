#include "Clock.h"

#include <chrono>

namespace {

class SteadyClock : public Clock
{
public:
    qint64 milliseconds() const override
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};

} // namespace

const Clock& Clock::steady()
{
    static const SteadyClock clock;
    return clock;
}
