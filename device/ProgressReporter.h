#pragma once

#include <QString>

// Where a long device operation reports how far it is. The window's busy
// state shows it in a progress bar; the shell program uses this base, which
// shows nothing.
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
};
