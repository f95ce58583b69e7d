#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// A rectangular block of cell texts as spreadsheets put it on the clipboard:
// lines of tab-separated texts; a text holding a tab, a line break or a quote
// is quoted, with its quotes doubled.
class TsvBlock
{
public:
    // The rows of a clipboard text. A final line break ends the last row and
    // starts none; "\r\n" counts as one line break. Short rows are not padded.
    static QVector<QStringList> parse(const QString& text);
    // The clipboard text of rows, each ended by a line break.
    static QString format(const QVector<QStringList>& rows);
};
