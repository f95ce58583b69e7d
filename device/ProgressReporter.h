#pragma once

#include <QString>

// Where a long device operation reports how far it is, and hears whether the
// user asked it to stop. The window's busy state shows it in a progress bar
// and takes the request from its cancel button; the shell program uses this
// base, which shows nothing and is never asked to stop.
class ProgressReporter
{
public:
    virtual ~ProgressReporter() = default;

    virtual void setRange(int minimum, int maximum)
    {
        (void)minimum;
        (void)maximum;
    }
    virtual void setValue(int value) { (void)value; }
    // What is being done, for the user: the table and the rows or cells done,
    // e.g. "Клише: строка 3 из 6".
    virtual void setText(const QString& text) { (void)text; }

    // The engines look at it between cells and stop there once it is made.
    void requestCancel() { m_cancelRequested = true; }
    bool cancelRequested() const { return m_cancelRequested; }

private:
    bool m_cancelRequested = false;
};
