#pragma once

#include "device/Clock.h"

// A clock that a test moves: each reading gives the time and then moves it
// `step` milliseconds on. A step of 0 stands still; a step at least
// ProgressReporter::UpdateInterval makes every pace point due. Counts its readings.
class SteppingClock : public Clock
{
public:
    explicit SteppingClock(qint64 step) : m_step(step) {}

    qint64 milliseconds() const override
    {
        ++m_readings;
        const qint64 now = m_now;
        m_now += m_step;
        return now;
    }

    int readings() const { return m_readings; }

private:
    qint64 m_step;
    mutable qint64 m_now = 0;
    mutable int m_readings = 0;
};
