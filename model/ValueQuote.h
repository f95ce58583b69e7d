#pragma once

#include <QByteArray>
#include <QString>

// How a message quotes a value the user gave: at most 80 characters, so that
// a huge cell or a file's garbage does not flood a message box or a terminal.
class ValueQuote
{
public:
    static constexpr int MaxShown = 80;

    // The text itself, or its first 80 characters followed by "…".
    static QString shown(const QString& value)
    {
        if (value.size() <= MaxShown)
            return value;
        int cut = MaxShown;
        // Never split a character outside the basic plane.
        if (value.at(cut - 1).isHighSurrogate())
            --cut;
        return value.left(cut) + QChar(0x2026);
    }

    static QString shown(const QByteArray& utf8) { return shown(QString::fromUtf8(utf8.constData(), utf8.size())); }
};
