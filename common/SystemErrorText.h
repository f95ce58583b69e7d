#pragma once

#include <QString>

// The user's words for what the system reported (an errno value): the usual
// reasons a file cannot be written or read, in Russian; others as the system
// words them.
class SystemErrorText
{
public:
    static QString of(int errorNumber);
};
