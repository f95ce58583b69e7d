#pragma once

#include <QString>

// A text from the register (its serial number) as part of a file name: a "/"
// or a control character in it must not lead the file out of its directory or
// make an unusable name, so each of them (and "\") becomes "_".
class FileNamePart
{
public:
    static QString of(QString text)
    {
        for (QChar& c : text) {
            if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.category() == QChar::Other_Control)
                c = QLatin1Char('_');
        }
        return text;
    }
};
