#pragma once

#include <QtGlobal>

// The time source that paces progress reports and event processing. The
// steady clock serves the programs; a test hands in one that it moves itself.
class Clock
{
public:
    virtual ~Clock() = default;

    // Milliseconds from some fixed point; never going back.
    virtual qint64 milliseconds() const = 0;

    // The system's monotonic clock.
    static const Clock& steady();
};
