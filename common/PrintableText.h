#pragma once

#include <QString>

// Text from a file or a journal made safe to show on a terminal or in a
// message box: control characters (an ESC that would start a terminal
// sequence, a NUL, a carriage return that would hide what precedes it) appear
// as "\x1b". Line ends and tabs stay: the texts shown are lines of messages.
class PrintableText
{
public:
    static QString of(const QString& text);
    // Whether UTF-8 bytes are shown as they are: valid UTF-8 that of() would
    // leave unchanged (conservative: false also for a byte order mark).
    static bool isPrintable(const char* begin, const char* end);
};
