#include "RegisterLink.h"

#include <chrono>
#include <thread>

namespace tillo_emulator {

void RegisterLink::request(size_t bytes) const
{
    std::chrono::microseconds wait = std::chrono::milliseconds(latencyMs);
    if (bytesPerSecond > 0)
        wait += std::chrono::microseconds(static_cast<long long>(double(bytes) * 1e6 / bytesPerSecond));
    if (wait.count() > 0)
        std::this_thread::sleep_for(wait);
}

} // namespace tillo_emulator
