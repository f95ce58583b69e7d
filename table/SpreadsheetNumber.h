#pragma once

#include <QString>

// A number as spreadsheets write it for people: its thousands set apart by a
// space, a no-break space, a narrow no-break space or an apostrophe
// ("1 234,50", "65'536"). The register's fields take it without them.
class SpreadsheetNumber
{
public:
    // The text without its group separators when it is a number grouped by
    // threes ("1 234 567,5" -> "1234567,5"); any other text as it stands.
    static QString ungrouped(const QString& text);
};
