#pragma once

#include "Clock.h"

#include <QString>

// Where a long device operation reports how far it is, and hears whether the
// user asked it to stop. The window's busy state shows it in a progress bar
// and takes the request from its cancel button; the shell program shows it as
// a line on a terminal; this base shows nothing and is never asked to stop.
//
// The engines report, and let the window process its events, only when the
// reporter says it is due: at most once per UpdateInterval of its clock.
// Formatting a text and repainting the bar for each of 65 536 rows would cost
// more than reading them.
class ProgressReporter
{
public:
    // Paced by `clock`, which must outlive the reporter; the steady clock when none is given.
    explicit ProgressReporter(const Clock& clock = Clock::steady());
    virtual ~ProgressReporter() = default;

    virtual void setRange(int minimum, int maximum)
    {
        (void)minimum;
        (void)maximum;
    }
    // The rows done; also where no range was given (the end not known).
    virtual void setValue(int value) { (void)value; }
    // What is being done, for the user: the table and the rows or cells done,
    // e.g. "Клише: строка 3 из 6".
    virtual void setText(const QString& text) { (void)text; }

    // True when at least UpdateInterval has passed since it last said so (or
    // since the reporter was made); the engines ask before each request.
    bool due();
    static constexpr qint64 UpdateInterval = 16;

    const Clock& clock() const { return m_clock; }

    // The engines look at it between cells and stop there once it is made.
    void requestCancel() { m_cancelRequested = true; }
    bool cancelRequested() const { return m_cancelRequested; }

private:
    const Clock& m_clock;
    qint64 m_last;
    bool m_cancelRequested = false;
};
