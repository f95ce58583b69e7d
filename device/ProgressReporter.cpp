#include "ProgressReporter.h"

ProgressReporter::ProgressReporter(const Clock& clock)
    : m_clock(clock)
    , m_last(clock.milliseconds())
{
}

bool ProgressReporter::due()
{
    const qint64 now = m_clock.milliseconds();
    if (now - m_last < UpdateInterval)
        return false;
    m_last = now;
    return true;
}
